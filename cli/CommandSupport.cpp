// SPDX-License-Identifier: MIT
// What every command shares: the one way an entry file comes in, the one
// way it goes out, and the wording of usage and file errors.
#include "Cli.h"
#include "Commands.h"
#include "EntryStore.h"
#include "StreamIo.h"
#include "Text.h"

#include "platform/Exceptions.h"

#include <filesystem>
#include <ostream>

namespace lumo_cli {

int UsageError(std::ostream& err, std::string_view command, const std::string& message)
{
    if (command.empty())
        err << "lumo: " << message << "\nTry 'lumo --help' for more information.\n";
    else
        err << "lumo " << command << ": " << message << "\nTry 'lumo " << command
            << " --help' for more information.\n";
    return exitUsage;
}

void FileError(std::ostream& err, const std::string& path, const std::exception& e)
{
    // "does not exist" would blame the file when its folder is what is missing.
    const auto* pFileError = dynamic_cast<const CFileException*>(&e);
    if (pFileError && pFileError->m_cause == CFileException::fileNotFound) {
        const std::filesystem::path folder = std::filesystem::path(path).parent_path();
        std::error_code ec;
        if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
            err << "lumo: " << Shown(path) << ": the folder " << Shown(folder.string()) << " does not exist\n";
            return;
        }
    }
    // The library's description names the file too, as it was given.
    std::string description = AfxDescribeException(e);
    if (const std::string shown = Shown(path); shown != path)
        for (std::size_t at = description.find(path); at != std::string::npos; at = description.find(path, at + shown.size()))
            description.replace(at, path.size(), shown);
    err << "lumo: " << Shown(path) << ": " << EscapeControls(description) << '\n';
}

namespace {

// Reads by read and reports as the one way in does.
int ReportEntryInput(const std::string& path, const CEntryPurpose& purpose, std::ostream& err,
                     const std::function<void(CIrregularRecords&)>& read)
{
    CIrregularRecords irregular;
    try {
        read(irregular);
    } catch (const CEntryFileException& e) {
        err << "lumo: " << Shown(path) << ": " << DescribeDamage(e) << "; nothing was " << purpose.nothingWas << '\n';
        return purpose.nDamagedStatus;
    } catch (const std::exception& e) {
        FileError(err, path, e);
        return exitUsage;
    }
    if (irregular.bEmptyFile)
        err << "lumo: warning: " << Shown(path) << ": the file is empty (0 bytes); it holds no entries\n";
    if (const std::string warning = DescribeIrregular(irregular); !warning.empty())
        err << "lumo: warning: " << Shown(path) << ": " << warning << "; only the texts are " << purpose.textsAre
            << '\n';
    return exitOk;
}

}  // namespace

int ReadEntriesOrReport(const std::string& path, std::vector<Entry>& entries, const CEntryPurpose& purpose,
                        std::ostream& err)
{
    return ReportEntryInput(path, purpose, err,
                            [&](CIrregularRecords& irregular) { ReadEntryInput(path, &entries, &irregular); });
}

int ReadEntryInputOrReport(const std::string& path, const CEntryPurpose& purpose, std::ostream& err,
                           const std::function<void(CArchive&, CEntryFileNotes&)>& read)
{
    return ReportEntryInput(path, purpose, err, [&](CIrregularRecords& irregular) {
        ReadEntryArchive(path, [&](CArchive& ar) { read(ar, irregular); });
    });
}

namespace {

int ReportEntryOutput(const std::string& path, std::ostream& err, const std::function<void()>& write)
{
    try {
        write();
    } catch (const std::exception& e) {
        FileError(err, path, e);
        err << "lumo: " << Shown(path) << " was left as it was\n";
        return exitUsage;
    }
    return exitOk;
}

}  // namespace

int WriteEntriesOrReport(const std::string& path, const std::vector<Entry>& entries, std::ostream& err)
{
    return ReportEntryOutput(path, err, [&] { WriteEntryOutput(path, entries); });
}

int WriteEntriesOrReport(const std::string& path, const CEntryStore& entries, std::ostream& err)
{
    return ReportEntryOutput(path, err, [&] { WriteEntryStoreOutput(path, entries); });
}

int WriteEntriesOrReport(const std::string& path, const CEntrySource& entries, std::ostream& err,
                         const std::function<void()>& beforeCommit)
{
    return ReportEntryOutput(path, err, [&] { WriteEntrySourceOutput(path, entries, beforeCommit); });
}

int RefuseOutputThatIsInput(std::ostream& err, std::string_view command, const std::string& output,
                            const std::vector<std::pair<std::string, std::string>>& inputsAndWhat)
{
    std::vector<std::string> inputs;
    for (const auto& [input, what] : inputsAndWhat)
        inputs.push_back(input);
    const std::optional<std::string> same = OutputIsInput(output, inputs);
    if (!same)
        return exitOk;
    std::string what;
    for (const auto& [input, whatItIs] : inputsAndWhat)
        if (input == *same && what.empty())
            what = whatItIs;
    if (!IsStream(output.empty() ? "-" : output))
        return UsageError(err, command, "the output '" + Shown(output) + "' is " + what + " itself; it would be replaced");
    const std::string shownOutput =
        output.empty() || output == "-" ? "standard output" : "the output '" + Shown(output) + "'";
    return UsageError(err, command, shownOutput + " is " + what + " '" + Shown(*same) +
                                        "' itself; writing to it would destroy it");
}

}  // namespace lumo_cli
