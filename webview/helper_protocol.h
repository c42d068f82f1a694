// What travels between the plug-in and the web view helper (frame kinds and
// the small texts inside them). Shared by both sides; standard library only.
//
// Plug-in -> helper: document-start scripts, the page to load, scripts to
// run, bounds, content scale, focus taken and given back, answers to questions, close.
// Helper -> plug-in: ready, content loaded, page messages (JSON text) and
// questions (may this address be opened, may this type be downloaded) that
// the plug-in answers by number.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plugfw::helper_protocol
{

// Plug-in -> helper.
constexpr char kDocumentStartScript = 'S';
constexpr char kLoadFile = 'L';
constexpr char kRunScript = 'E';
constexpr char kBounds = 'B';
constexpr char kScale = 'Z';
constexpr char kFocus = 'F';
constexpr char kReleaseFocus = 'K'; // the keyboard back to the host's window
constexpr char kAnswer = 'A';
constexpr char kClose = 'C';

// Helper -> plug-in.
constexpr char kReady = 'R';
constexpr char kContentLoaded = 'D';
constexpr char kPageMessage = 'M';
constexpr char kNavigationQuestion = 'N';
constexpr char kDownloadQuestion = 'W';

struct Bounds
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// "x y w h" in logical pixels.
std::string BoundsText(const Bounds& b);
std::optional<Bounds> ParseBounds(std::string_view text);

// The content scale as a decimal text (always with a point).
std::string ScaleText(float scale);
// A finite scale above zero, else nothing.
std::optional<float> ParseScale(std::string_view text);

// A question: "<id> <subject>"; the subject (an address, a MIME type) may
// contain spaces.
struct Question
{
    unsigned id = 0;
    std::string subject;
};
std::string QuestionText(unsigned id, std::string_view subject);
std::optional<Question> ParseQuestion(std::string_view text);

// An answer: "<id> 1" or "<id> 0".
struct Answer
{
    unsigned id = 0;
    bool yes = false;
};
std::string AnswerText(unsigned id, bool yes);
std::optional<Answer> ParseAnswer(std::string_view text);

// The rectangle in device pixels for logical bounds at a scale: corners
// rounded up, one extra pixel right and below so that no uncovered seam
// shows at fractional scales. Right and bottom are exclusive.
struct PixelRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
PixelRect ScaledPixelRect(const Bounds& b, float scale);

} // namespace plugfw::helper_protocol
