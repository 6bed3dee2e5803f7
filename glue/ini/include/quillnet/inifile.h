// Reader and writer for Windows-style profile files ("[Section]" and
// "Key=Value" lines), shared by the window programs.
//
// The rules are those of the Windows profile functions, so a file written here
// stays readable there and the other way round:
//  - section and key names are compared without regard to ASCII case and
//    without the blanks around them; the first matching section and key win;
//  - a value runs from after the "=" to the end of its line; blanks around it
//    are dropped, and one pair of matching quotes around it is removed, which
//    is how a value keeps leading or trailing blanks;
//  - writing touches only the line of the key (or adds one line, or one
//    section at the end); every other byte of the file stays as it was,
//    including comments, blank lines and each line's own line end.
//
// Values cannot hold line breaks; see inilineescape.h for texts that do.
#ifndef QUILLNET_INIFILE_H
#define QUILLNET_INIFILE_H

#include <string>
#include <vector>

namespace quillnet {

class IniFile {
public:
    explicit IniFile(std::string path);

    // Reads the file. A missing file is an empty profile and still succeeds;
    // false only when the file exists but cannot be read.
    bool load();

    // The value of `key` in `section`, or `defaultValue` when either is missing.
    std::string value(const std::string& section, const std::string& key,
                      const std::string& defaultValue) const;

    // Sets a value in memory, adding the key or the section when needed.
    // Refuses (false, nothing changed) names or values that would break the
    // file's line structure: line breaks anywhere, "]" in a section name,
    // "=" or a leading "[" or ";" in a key, an empty key.
    bool setValue(const std::string& section, const std::string& key, const std::string& value);

    // Writes the profile back: into a temporary file beside it, then renamed
    // over the original, so a failed write never leaves half a file.
    bool save() const;

    const std::string& path() const { return path_; }

private:
    struct Line {
        std::string text;    // without its line end
        std::string ending;  // "\r\n", "\n", "\r" or "" (last line without one)
    };
    struct SectionRange {
        size_t header;  // index of the "[...]" line
        size_t end;     // one past the section's last line
    };

    bool findSection(const std::string& section, SectionRange& range) const;
    bool findKey(const SectionRange& range, const std::string& key, size_t& line) const;
    std::string newLineEnding() const;

    std::string path_;
    std::string byteOrderMark_;  // the file's leading byte order mark, or ""
    std::vector<Line> lines_;
};

// One-shot helpers in the manner of the Windows profile calls: each reads the
// file; the writer also writes it back. Writing creates the file when needed
// (its folder must exist).
std::string readProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue);
bool writeProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace quillnet

#endif  // QUILLNET_INIFILE_H
