#include "SMTPError.h"

#include <new>

CaughtFailure CurrentFailure()
{
    try {
        throw;
    } catch (const CSMTPError& error) {
        return {error.nCode, true};
    } catch (const std::bad_alloc&) {
        return {RESULT_OUT_OF_MEMORY, false};
    } catch (...) {
        return {RESULT_TEMP_FILE, false};
    }
}
