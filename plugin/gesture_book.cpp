#include "plugin/gesture_book.h"

namespace ostrel
{

bool GestureBook::Open(GestureHolder who, int paramIdx)
{
    Entry& e = Slot(who, paramIdx);
    const bool opened = !e.open;
    e = Entry{true, 0};
    return opened;
}

bool GestureBook::Close(GestureHolder who, int paramIdx)
{
    Entry& e = Slot(who, paramIdx);
    const bool wasOpen = e.open;
    e = Entry{};
    return wasOpen;
}

} // namespace ostrel
