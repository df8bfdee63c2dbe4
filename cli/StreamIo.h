// SPDX-License-Identifier: MIT
// Where a command names a file it may also name a stream: "-" for standard
// input, or a pipe or device such as /dev/stdin, /dev/stdout or a FIFO.
// Streams are read into memory and parsed from there (their length is not
// known up front, and they cannot be read twice), and written to directly:
// replacing /dev/stdout by a new file makes no sense. Regular files keep the
// usual paths: read from disk, replaced only once everything was written.
#pragma once

#include "EntryIo.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumo_cli {

// A stream is read whole before parsing; this much, at most, so that
// /dev/zero or an endless pipe gets a message instead of all the memory.
inline constexpr std::size_t kMaxStreamBytes = std::size_t(1) << 30;

// True for "-" (standard input, or standard output where a command writes),
// for the names of inherited descriptors (/dev/stdin, /dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/self/fd/N) and for an existing path that is
// neither a regular file nor a folder.
bool IsStream(const std::string& path);

// Every byte of a stream input ("-" is standard input). Throws CFileException,
// std::length_error beyond nMaxBytes, and std::invalid_argument when a
// descriptor the process was given (standard input) is read a second time.
std::string ReadStream(const std::string& path, std::size_t nMaxBytes = kMaxStreamBytes);

// An entry file from a regular file or a stream, read strictly as
// ReadEntryFile reads it.
UINT ReadEntryInput(const std::string& path, std::vector<Entry>* pEntries, CIrregularRecords* pIrregular = nullptr);
// A whole text input (JSON, CSV, ...) from a regular file or a stream.
std::string ReadTextInput(const std::string& path);

// Writes straight to a stream; replaces (or creates) a regular file.
void WriteOutput(const std::string& path, std::string_view bytes);
// Writes straight to a stream, opened once, every byte that produce hands
// to the writer it is given.
void WriteStreamOutput(const std::string& path,
                       const std::function<void(const std::function<void(const char*, std::size_t)>&)>& produce);
void WriteEntryOutput(const std::string& path, const std::vector<Entry>& entries);

}  // namespace lumo_cli
