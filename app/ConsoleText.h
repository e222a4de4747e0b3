#pragma once

#include <cstddef>

#include "common/ConsoleWrite.h"

// Every text the tool writes is formatted into a buffer of this many wide characters.
constexpr std::size_t kTextBufferSize = 2000;

// Zero-fills the buffer and formats into it, printf style with wide-string %s; the text is cut to
// fit and always ends with a zero inside the buffer. Returns what the formatting returns
// (negative when the text was cut).
int FormatToBuffer(wchar_t (&buffer)[kTextBufferSize], const wchar_t* format, ...);

// The part of an executable path after its last backslash; the whole path when it has none.
const wchar_t* ExecutableFileName(const wchar_t* path) noexcept;

// Writes the banner to the standard output, or to stream.
void PrintBanner(StandardStream stream = StandardStream::kOutput);

// Writes the usage text, with this executable's file name, to the standard output.
void PrintUsage();
