#include "storage/atomic_file_store.h"

#include <atomic>
#include <cstdint>
#include <limits>
#include <random>

#include "storage/platform_files.h"

namespace ostrel
{
namespace
{

constexpr char kTemporarySuffix[] = ".tmp";
constexpr size_t kRandomLetters = 6;
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// A writer needs milliseconds; a temporary this old was left by a writer
// that died (killed, crashed, power lost) and will never be renamed.
constexpr std::chrono::seconds kStaleAge{60};
// Names are random, so a clash means something else is squatting there;
// give up rather than loop.
constexpr int kNameAttempts = 16;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetterOrDigit(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "<target>.<pid>.<six letters or digits>.tmp", and "<target>.<pid>.tmp" that
// earlier versions used: nothing else in the folder is ours to remove.
bool isTemporaryOf(std::string_view name, std::string_view target)
{
    if (name.size() <= target.size() + 1 || name.substr(0, target.size()) != target ||
        name[target.size()] != '.')
        return false;
    std::string_view rest = name.substr(target.size() + 1);
    const std::string_view suffix = kTemporarySuffix;
    if (rest.size() <= suffix.size() || rest.substr(rest.size() - suffix.size()) != suffix)
        return false;
    rest.remove_suffix(suffix.size());
    size_t digits = 0;
    while (digits < rest.size() && isDigit(rest[digits]))
        ++digits;
    if (digits == 0)
        return false;
    if (digits == rest.size())
        return true;
    rest.remove_prefix(digits);
    if (rest.size() != kRandomLetters + 1 || rest[0] != '.')
        return false;
    for (size_t i = 1; i < rest.size(); ++i)
        if (!isLetterOrDigit(rest[i]))
            return false;
    return true;
}

// The last error's failure, never None: something did fail.
WriteFailure lastFailureOrOther()
{
    const WriteFailure failure = platform_files::lastFailure();
    return failure == WriteFailure::None ? WriteFailure::Other : failure;
}

std::string randomLetters()
{
    // Seeded per thread from the system's entropy and a process-wide count,
    // so threads and forked children do not repeat each other's names.
    static std::atomic<uint64_t> streams{0};
    thread_local std::mt19937_64 generator{
        []
        {
            std::random_device entropy;
            std::seed_seq seed{entropy(), entropy(), entropy(),
                               static_cast<unsigned>(streams.fetch_add(1))};
            return std::mt19937_64(seed);
        }()};
    std::uniform_int_distribution<size_t> pick(0, sizeof(kAlphabet) - 2);
    std::string letters(kRandomLetters, 'A');
    for (char& c : letters)
        c = kAlphabet[pick(generator)];
    return letters;
}

} // namespace

std::string ReadWholeFile(const std::string& path)
{
    return ReadWholeFile(path, std::numeric_limits<size_t>::max());
}

std::string ReadWholeFile(const std::string& path, size_t maxBytes)
{
    std::string content;
    platform_files::readRegularFile(path, maxBytes, content);
    return content;
}

WriteFailure WriteFileAtomically(const std::string& path, std::string_view bytes)
{
    // An empty path would put the temporary file in the host's working folder.
    if (path.empty() || path.back() == '/')
        return WriteFailure::Other;
    const std::string target = platform_files::nameOf(path);
    platform_files::removeStaleFiles(
        platform_files::folderOf(path),
        [&target](std::string_view name) { return isTemporaryOf(name, target); }, kStaleAge);

    const std::string prefix = path + "." + platform_files::processIdText() + ".";
    for (int attempt = 0; attempt < kNameAttempts; ++attempt)
    {
        const std::string temporary = prefix + randomLetters() + kTemporarySuffix;
        switch (platform_files::writeNewFileDurably(temporary, bytes))
        {
        case platform_files::CreateResult::NameTaken:
            continue;
        case platform_files::CreateResult::Failed:
            // A short write (a full disk) must not replace a good file with a
            // cut one; the partial temporary is already gone.
            return lastFailureOrOther();
        case platform_files::CreateResult::Written:
        {
            if (platform_files::replaceFile(temporary, path))
                return WriteFailure::None;
            const WriteFailure failure = lastFailureOrOther();
            platform_files::removeFile(temporary);
            return failure;
        }
        }
    }
    return WriteFailure::Other;
}

} // namespace ostrel
