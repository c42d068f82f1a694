// How many times any instance of this process has written the presets file.
// Every open page shows the collection as the file holds it, so a page that
// saves or deletes next works on what another page stored meanwhile.
#pragma once

#include <cstdint>

namespace ostrel
{

uint64_t presetsFileGeneration();
// After a write of the presets file (the writing instance's timer thread).
void notePresetsFileWritten();

} // namespace ostrel
