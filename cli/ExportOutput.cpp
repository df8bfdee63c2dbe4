// SPDX-License-Identifier: MIT
#include "ExportOutput.h"

#include "StreamIo.h"

#include "platform/Archive.h"
#include "platform/File.h"

#include <algorithm>
#include <stdexcept>

namespace lumo_cli {

void WriteExport(const std::string& output, std::ostream& out, const std::function<void(const ByteSink&)>& produce)
{
    if (output == "-") {
        produce([&](const char* pBytes, std::size_t nCount) {
            if (!out.write(pBytes, static_cast<std::streamsize>(nCount)))
                throw std::runtime_error("cannot write to standard output");
        });
        if (!out.flush())
            throw std::runtime_error("cannot write to standard output");
        return;
    }
    if (IsStream(output)) {
        // A pipe or device is written straight through, never replaced; an
        // inherited descriptor (/dev/stdout) as it is, appending where it does.
        WriteStreamOutput(output, produce);
        return;
    }
    AfxReplaceFile(output, [&](CArchive& ar) {
        produce([&](const char* pBytes, std::size_t nCount) {
            constexpr std::size_t kChunk = 1u << 24;
            for (std::size_t pos = 0; pos < nCount; pos += kChunk)
                ar.Write(pBytes + pos, static_cast<UINT>(std::min(kChunk, nCount - pos)));
        });
    });
}

}  // namespace lumo_cli
