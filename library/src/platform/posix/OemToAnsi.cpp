// Code page 437 (the OEM page of DOS-era hosts) to Windows-1252, byte for byte.
//
// Characters that 1252 also has map to it. The rest have no 1252 byte and get
// a readable stand-in, so a text keeps its length and its meaning:
//   box-drawing verticals "|", single horizontal "-", double horizontal "=",
//   corners and junctions "+", shades and blocks "#";
//   Greek letters and maths signs the nearest ASCII letter or sign
//   (alpha "a", pi "p", Sigma "S", infinity "8", >= ">", square root "v", ...);
//   the peseta sign "P"; the reversed not sign the not sign.
#include "platform/Platform.h"

namespace platform {

namespace {

// clang-format off
const unsigned char kCp437ToCp1252[128] = {
    /* 0x80 */ 0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
    /* 0x90 */ 0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 'P',  0x83,
    /* 0xA0 */ 0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAC, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
    /* 0xB0 */ '#',  '#',  '#',  '|',  '+',  '+',  '+',  '+',  '+',  '+',  '|',  '+',  '+',  '+',  '+',  '+',
    /* 0xC0 */ '+',  '+',  '+',  '+',  '-',  '+',  '+',  '+',  '+',  '+',  '+',  '+',  '+',  '=',  '+',  '+',
    /* 0xD0 */ '+',  '+',  '+',  '+',  '+',  '+',  '+',  '+',  '+',  '+',  '+',  '#',  '#',  '#',  '#',  '#',
    /* 0xE0 */ 'a',  0xDF, 'G',  'p',  'S',  's',  0xB5, 't',  'F',  'T',  'O',  'd',  '8',  'f',  'e',  'n',
    /* 0xF0 */ '=',  0xB1, '>',  '<',  '(',  ')',  0xF7, '~',  0xB0, 0xB7, 0xB7, 'v',  'n',  0xB2, '#',  0xA0,
};
// clang-format on

}  // namespace

void OemToAnsi(char* pText, size_t nLength)
{
    for (size_t i = 0; i < nLength; ++i) {
        unsigned char c = static_cast<unsigned char>(pText[i]);
        if (c >= 0x80) pText[i] = static_cast<char>(kCp437ToCp1252[c - 0x80]);
    }
}

}  // namespace platform
