// ostrel::FrontEditor: which of the process's open editors the user is at,
// taken as the one opened or used last. The others are behind: their meters
// go at a quarter of the pace, which cuts what they cost while nobody looks
// at them closely, and they still move. One editor alone is always in front.
#pragma once

#include <cstdint>

namespace ostrel
{

class FrontEditor
{
public:
    FrontEditor() = default;
    ~FrontEditor() { Closed(); }
    FrontEditor(const FrontEditor&) = delete;
    FrontEditor& operator=(const FrontEditor&) = delete;

    // The editor opened, or the user did something in it: it comes to the front.
    void Used();
    // The editor closed. If it was in front, no editor is until the next
    // use, so the ones still open all go at full pace.
    void Closed();
    // Open, and another open editor was used since.
    bool Behind() const;

private:
    uint64_t mStamp = 0; // 0: closed
};

} // namespace ostrel
