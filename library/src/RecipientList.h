#pragma once

#include <string>

// Calls `visit` with each recipient of a list separated by "," or a space,
// skipping empty pieces, until `visit` returns false.
template <typename Visit>
void ForEachRecipient(const std::string& list, Visit visit)
{
    size_t nStart = 0;
    while (nStart < list.size()) {
        size_t nEnd = list.find_first_of(", ", nStart);
        if (nEnd == std::string::npos) nEnd = list.size();
        if (nEnd > nStart && !visit(list.substr(nStart, nEnd - nStart))) return;
        nStart = nEnd + 1;
    }
}
