#pragma once

#include <string>

// The content type of a file, from its extension: the registered type, else
// image/<ext> for common picture extensions, else unknown/<ext>; a file name
// without a dot gives unknown/unknown.
std::string ContentTypeOfFile(const char* pszPath);

// The last path component: the text after the last "/" or "\".
const char* FileNameOfPath(const char* pszPath);
