// GETMAILERROR: the texts hosts show for the library's result codes.
#include <cstring>
#include <string>

#include "FixedText.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {

namespace {

constexpr size_t kMaxErrorText = 254;

// Indexed by result code; the texts are what users have always seen,
// spelling included. Codes the library never produces keep their texts.
constexpr const char* kErrorTexts[] = {
    "Unknown error",
    "Bad arguments from form",
    "Unable to open temporary mailfile for read",
    "Failed to start sockets",
    "Failed to resolve host",
    "Failed to obtain socket handle",
    "Failed to connect. Mail Server not found!",
    "Failed to send",
    "Failed to receive",
    "Mail Server Error:",
    "Failed to resolve the host IP name",
    "Out of memory",
    "Failed to open temporary file",
    "Unknown error",
    "User Cancel",
    "No recipiens specified",
    "Some recipients were refused:",
};

}  // namespace

std::string WRENPOSTCLASS::GETMAILERROR(uint32_t wrenpostErrorCode) const
{
    if (wrenpostErrorCode >= sizeof kErrorTexts / sizeof kErrorTexts[0]) return kErrorTexts[0];
    std::string text = kErrorTexts[wrenpostErrorCode];
    if (wrenpostErrorCode == RESULT_SERVER_ERROR || wrenpostErrorCode == RESULT_SOME_RECIPIENTS_REFUSED) {
        // The buffer is the library's to fill; never read past its end even
        // when it lacks its terminating zero.
        size_t length = strnlen(SERVERERRORMESSAGE, sizeof SERVERERRORMESSAGE);
        text += '\r';
        text += withoutTrailingBlanks(std::string_view(SERVERERRORMESSAGE, length));
        if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
    }
    return text;
}

}  // namespace quillnet
