// SPDX-License-Identifier: MIT
// The built editor's command line as a shell sees it: help and version without
// a display, usage errors, and script runs that never wait for an answer.
#include "GuiHarness.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include <sys/stat.h>

using namespace lumo_gui_test;

namespace {

struct CRun {
    bool bFinished;  // false: it hung or crashed
    int status;
    std::string out, err;
};

// The environment of a child that has no display at all.
QProcessEnvironment NoDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// Runs the program (through `sh -c 'ulimit -f 8; exec ...'` with bFileLimit,
// so that the limit meets the program's own start-up). One that does not end
// within a minute counts as hung and is killed.
CRun RunProgram(const QString& program, const QStringList& args, const QString& workDir = {},
         bool bFileLimit = false, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    // The program's own start-up must ignore SIGXFSZ, not a setting it inherited.
    process.setChildProcessModifier([] { std::signal(SIGXFSZ, SIG_DFL); });
    if (!workDir.isEmpty())
        process.setWorkingDirectory(workDir);
    if (bFileLimit) {
        process.setProgram(QStringLiteral("/bin/sh"));
        process.setArguments(QStringList{QStringLiteral("-c"), QStringLiteral("ulimit -f 8 && exec \"$0\" \"$@\""),
                                         program} +
                             args);
    } else {
        process.setProgram(program);
        process.setArguments(args);
    }
    process.start();
    const bool bFinished = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return {bFinished, process.exitCode(), process.readAllStandardOutput().toStdString(),
            process.readAllStandardError().toStdString()};
}

CRun Editor(const QStringList& args, const QString& workDir = {}, bool bFileLimit = false)
{
    return RunProgram(QStringLiteral(LUMO_EDITOR_PATH), QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")} + args,
               workDir, bFileLimit);
}

CRun EditorWithoutDisplay(const QStringList& args)
{
    return RunProgram(QStringLiteral(LUMO_EDITOR_PATH), args, {}, false, NoDisplay());
}

std::string ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(unreadable)");
}

void WriteAll(const QString& path, const std::string& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

ino_t Inode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// What the program wrote, without the notes of Qt's platform plugin before it.
std::string Ours(const std::string& err)
{
    const std::size_t start = err.rfind("lumoEdit: ", 0) == 0 ? 0 : err.find("\nlumoEdit: ");
    return start == std::string::npos ? std::string() : err.substr(start == 0 ? 0 : start + 1);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(CommandLine, HelpAndVersionNeedNoDisplay)
{
    for (const char* option : {"--help", "-h"}) {
        const CRun run = EditorWithoutDisplay({QString::fromLatin1(option)});
        ASSERT_TRUE(run.bFinished) << option;
        EXPECT_EQ(run.status, 0) << option << ": " << run.err;
        EXPECT_EQ(run.out.rfind("Usage: lumoEdit [options] [FILE]\n", 0), 0u) << run.out;
        EXPECT_TRUE(Contains(run.out, "--run-command <NAME>")) << run.out;
        EXPECT_TRUE(Contains(run.out, "--screenshot <PNG>")) << run.out;
        EXPECT_EQ(run.err, "");
    }
    for (const char* option : {"--version", "-v"}) {
        const CRun run = EditorWithoutDisplay({QString::fromLatin1(option)});
        ASSERT_TRUE(run.bFinished) << option;
        EXPECT_EQ(run.status, 0) << option << ": " << run.err;
        EXPECT_EQ(run.out, "lumoEdit " LUMO_VERSION "\n");
    }
    // Qt's options beside them change nothing, and nothing opens.
    const CRun run = EditorWithoutDisplay({"-platform", "xcb", "--version"});
    ASSERT_TRUE(run.bFinished);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "lumoEdit " LUMO_VERSION "\n");
}

TEST(CommandLine, UsageErrorsAreStatusTwo)
{
    const std::vector<std::pair<QStringList, std::string>> cases{
        {{"--bogus"}, "lumoEdit: Unknown option 'bogus'."},
        {{"--run-command"}, "lumoEdit: Missing value after '--run-command'."},
        {{"--screenshot"}, "lumoEdit: Missing value after '--screenshot'."},
        {{"--run-command", "frobnicate", "a.lumo"}, "lumoEdit: unknown command 'frobnicate'"},
        {{"a.lumo", "b.lumo"}, "lumoEdit: one FILE at most, not 2"},
    };
    for (const auto& [args, message] : cases) {
        // The error is found before Qt would want a display, and Qt's options
        // in front (with their values) do not change it.
        for (const bool bQtOptions : {false, true}) {
            const CRun run = bQtOptions ? Editor(args) : EditorWithoutDisplay(args);
            const std::string label = args.join(' ').toStdString() + (bQtOptions ? " (offscreen)" : "");
            ASSERT_TRUE(run.bFinished) << label;
            EXPECT_EQ(run.status, 2) << label << ": " << run.err;
            EXPECT_EQ(run.err.rfind(message, 0), 0u) << label << ": " << run.err;
            EXPECT_TRUE(Contains(run.err, "Try 'lumoEdit --help'")) << label;
            EXPECT_EQ(run.out, "") << label;
        }
    }
}

class ScriptRun : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QStringList Files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_dir;
};

// After "--" a name that looks like an option (even one of Qt's) is the file.
TEST_F(ScriptRun, AFileNamedLikeAnOptionOpensAfterTheSeparator)
{
    const std::string bytes = EntryBytes({{"STR_A", "Alpha", ""}, {"STR_B", "Beta", "note"}});
    WriteAll(Path("-reverse"), bytes);
    const ino_t before = Inode(Path("-reverse"));
    const CRun run = Editor({"--run-command", "save", "--run-command", "exit", "--", "-reverse"}, m_dir.path());
    ASSERT_TRUE(run.bFinished);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Ours(run.err), "");
    EXPECT_EQ(ReadAll(Path("-reverse")), bytes);
    EXPECT_NE(Inode(Path("-reverse")), before);  // written anew
    EXPECT_EQ(Files(), QStringList{"-reverse"});
}

// A file name that is not UTF-8 reaches the application with its own bytes.
TEST_F(ScriptRun, AFileNameThatIsNotUtf8OpensAndSaves)
{
    const std::string bytes = EntryBytes({{"STR_A", "Alpha", ""}});
    const std::string name = QFile::encodeName(m_dir.path()).toStdString() + "/caf\xE9.lumo";
    struct Remove {  // QTemporaryDir cannot name it
        const std::string& name;
        ~Remove() { std::remove(name.c_str()); }
    } cleanup{name};
    FILE* out = std::fopen(name.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), out), bytes.size());
    ASSERT_EQ(std::fclose(out), 0);
    struct stat before {};
    ASSERT_EQ(::stat(name.c_str(), &before), 0);
    // QProcess would pass the name through QString; a shell passes its bytes.
    const CRun run = RunProgram(QStringLiteral("/bin/sh"),
                         {"-c", "exec \"$0\" -platform offscreen --run-command save --run-command exit \"$(printf 'caf\\351.lumo')\"",
                          QStringLiteral(LUMO_EDITOR_PATH)},
                         m_dir.path());
    ASSERT_TRUE(run.bFinished);
    EXPECT_EQ(run.status, 0) << run.err;
    struct stat after {};
    ASSERT_EQ(::stat(name.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);  // written anew
    EXPECT_EQ(static_cast<std::size_t>(after.st_size), bytes.size());
    // (QDir leaves out a name it cannot decode.)
    const auto names = std::filesystem::directory_iterator(QFile::encodeName(m_dir.path()).toStdString());
    EXPECT_EQ(std::distance(std::filesystem::begin(names), std::filesystem::end(names)), 1);
}

// Whatever would wait for an answer is written to standard error and ends the
// run with status 1; the offscreen box or picker would wait for ever.
TEST_F(ScriptRun, WhatNeedsAnAnswerEndsTheRunWithStatusOne)
{
    WriteAll(Path("cut.lumo"), EntryBytes({{"STR_A", "Alpha", ""}}).substr(0, 12));
    struct Case {
        QStringList args;
        std::string message;
    };
    const std::vector<Case> cases{
        {{"--run-command", "exit", Path("cut.lumo")},
         "lumoEdit: Cannot open \"" + Path("cut.lumo").toStdString() + "\":\n"},
        {{"--run-command", "save", "--run-command", "exit"},
         "lumoEdit: Save As needs a file name, which a script cannot choose\n"},
        {{"--run-command", "about", "--run-command", "exit"},
         "lumoEdit: the dialog \"About lumoEdit\" waits for an answer, which a script cannot give\n"},
        {{"--screenshot", Path("shot.png"), Path("cut.lumo")},
         "lumoEdit: Cannot open \"" + Path("cut.lumo").toStdString() + "\":\n"},
    };
    for (const Case& c : cases) {
        const CRun run = Editor(c.args, m_dir.path());
        const std::string label = c.args.join(' ').toStdString();
        ASSERT_TRUE(run.bFinished) << label;
        EXPECT_EQ(run.status, 1) << label << ": " << run.err;
        EXPECT_EQ(Ours(run.err).rfind(c.message, 0), 0u) << label << ": " << run.err;
    }
    EXPECT_EQ(Files(), QStringList{"cut.lumo"});
}

// The warning about a loaded file stops the script before its commands: the
// save that would drop the extra bytes is not run.
TEST_F(ScriptRun, AWarningAfterTheLoadStopsTheScript)
{
    const std::string bytes = EntryBytes({{"STR_A", "Alpha", ""}}) + "xyz";
    WriteAll(Path("padded.lumo"), bytes);
    const CRun run = Editor({"--run-command", "save", "--run-command", "exit", Path("padded.lumo")}, m_dir.path());
    ASSERT_TRUE(run.bFinished);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Ours(run.err).rfind("lumoEdit: \"" + Path("padded.lumo").toStdString() + "\":\n", 0), 0u) << run.err;
    EXPECT_TRUE(Contains(run.err, "3 bytes after the last entry")) << run.err;
    EXPECT_EQ(ReadAll(Path("padded.lumo")), bytes);
    EXPECT_EQ(Files(), QStringList{"padded.lumo"});
}

// Under a file size limit the save fails instead of killing the program: the
// message goes to standard error, the commands after it are not run, the file
// is as it was and no temporary file is left.
TEST_F(ScriptRun, ASaveBeyondTheFileSizeLimitFailsCleanly)
{
    std::vector<std::vector<std::string>> entries;
    for (int i = 0; i < 200; ++i)
        entries.push_back({"STR_" + std::to_string(i), std::string(300, static_cast<char>('a' + i % 26)), ""});
    const std::string bytes = EntryBytes(entries);
    WriteAll(Path("big.lumo"), bytes);
    const CRun run = Editor({"--run-command", "save", "--run-command", "save", "--run-command", "exit", Path("big.lumo")},
                            m_dir.path(), true);
    ASSERT_TRUE(run.bFinished) << "ended by a signal or hung; status " << run.status;
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(Ours(run.err), "lumoEdit: Cannot save \"" + Path("big.lumo").toStdString() +
                           "\":\nthe file grew larger than allowed (file size limit).\n"
                           "The file on disk was not changed.\n");
    EXPECT_EQ(ReadAll(Path("big.lumo")), bytes);
    EXPECT_EQ(Files(), QStringList{"big.lumo"});
}

}  // namespace
