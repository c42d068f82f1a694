// plugfw::NearestEditorSize: the sizes a resizable editor may take. It keeps
// the proportions of the size it was designed at, within the configured
// width and height bounds (all in logical pixels, times the host's content
// scale for the view's pixels), so the page scales as a whole and nothing
// of it is cut or left empty.
#pragma once

namespace plugfw
{

struct EditorSizeRules
{
    int designWidth = 0;
    int designHeight = 0;
    int minWidth = 0;
    int maxWidth = 0;
    int minHeight = 0;
    int maxHeight = 0;
};

struct EditorSize
{
    int width = 0;
    int height = 0;
};

// The allowed size nearest to width x height (view pixels at `scale`), in
// logical pixels: a whole width, the height that keeps the design's
// proportions, held to the bounds. Asking for an allowed size gives it
// back. A design without area, or a scale that is not above 0, gives the
// design size.
EditorSize NearestEditorSize(const EditorSizeRules& rules, double width, double height,
                             double scale);

} // namespace plugfw
