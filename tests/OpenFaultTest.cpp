// SPDX-License-Identifier: MIT
// Opening what cannot be opened, or cannot be opened whole: each time one
// clear message, the editor keeps working, and a damaged file never stays the
// document's file, so a later Save cannot overwrite it with fewer entries.
#include "FaultSupport.h"
#include "Harness.h"
#include "document/EntryFile.h"
#include "platform/AfxRes.h"
#include "platform/File.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lumo_test;
namespace fs = std::filesystem;

namespace {

const std::vector<Entry> kSample{
    {"STR_START", "Start game", ""}, {"STR_QUIT", "Quit", "Are you sure?"}, {"STR_CAFE", "Caf\xE9", ""}};

std::string CannotOpen(const std::string& path, const std::string& reason)
{
    return "Cannot open \"" + path + "\":\n" + reason + ".";
}

// Appends an entry through the Add Item dialog, as the user would.
bool AddItem(App& app, const std::string& name, const std::string& data)
{
    app.fe().m_dialogScripts.push_back([=](CFakeDialog& dlg) {
        dlg.SetText(IDC_VALUE_NAME, name);
        dlg.SetText(IDC_VALUE_DATA, data);
        dlg.Click(IDOK);
    });
    return app.Command(ID_EDIT_ADDITEM);
}

struct Unopenable {
    const char* name;
    std::function<void(const std::string& path)> make;
    const char* reason;
};

// Each case runs in a child without root's privileges: the open fails with
// one message naming the file and the reason, the open document stays as it
// was, and its entries can still be edited.
TEST(OpenFault, WhatCannotBeOpenedLeavesTheOpenDocumentAsItWas)
{
    SharedDir dir;
    const std::string good = dir / "good.lumo";
    WriteFile(good, EntryFileBytes(kSample));
    fs::permissions(good, fs::perms(0644));

    const std::vector<Unopenable> cases{
        {"missing.lumo", [](const std::string&) {}, "the file does not exist"},
        {"folder.lumo", [](const std::string& p) { fs::create_directory(p); }, "it is a folder, not a file"},
        {"secret.lumo",
         [](const std::string& p) {
             WriteFile(p, EntryFileBytes({{"hidden", "text", ""}}));
             fs::permissions(p, fs::perms::none);
         },
         "permission denied"},
        {"good.lumo/inner.lumo", [](const std::string&) {}, "the path is not valid"},
        // Opening a named pipe must not wait for a writer.
        {"pipe.lumo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0); }, "the path is not valid"},
    };
    for (const Unopenable& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        c.make(path);
        const std::string seen = RunInChild(
            [&] {
                App app({good});
                if (!app.Start())
                    return std::string("the program did not start");
                const bool bOpened = app.Open(path);
                std::string out = Describe(app);
                // The editor goes on: an entry can be added.
                const bool bAdded = AddItem(app, "STR_AFTER", "after");
                out += std::string(bOpened ? "opened\n" : "") + (bAdded ? "" : "Add Item failed\n");
                if (EntriesOf(app.view()).size() != kSample.size() + 1 || !TreeIsConsistent(app.view()))
                    out += "the entry was not added\n";
                return out;
            },
            true);
        EXPECT_EQ(seen, Describe("good.lumo - lumoEdit", false, {CannotOpen(path, c.reason)}, kSample));
    }
    EXPECT_EQ(ReadFile(good), EntryFileBytes(kSample));
}

TEST(OpenFault, AZeroByteFileIsAnEmptyList)
{
    TempDir dir;
    WriteFile(dir / "good.lumo", EntryFileBytes(kSample));
    WriteFile(dir / "empty.lumo", "");
    App app({(dir / "good.lumo").string()});
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(app.Open(dir / "empty.lumo"));
    EXPECT_EQ(Describe(app), Describe("empty.lumo - lumoEdit", false, {}, {}));
    EXPECT_EQ(app.view().m_nCount, 0u);
    EXPECT_TRUE(TreeIsConsistent(app.view()));
    EXPECT_EQ(app.doc().GetPathName(), (dir / "empty.lumo").string());
    // Saved, it becomes the four bytes of an empty list.
    ASSERT_TRUE(app.Command(ID_FILE_SAVE));
    EXPECT_TRUE(app.fe().m_messages.empty());
    EXPECT_EQ(ReadFile(dir / "empty.lumo"), std::string(4, '\0'));
}

// A damaged file: its complete entries stay as an untitled document; Save
// then asks for a name instead of writing the fewer entries over the file.
TEST(OpenFault, ADamagedFileIsNeverOverwrittenBySave)
{
    TempDir dir;
    WriteFile(dir / "good.lumo", EntryFileBytes(kSample));
    std::string damaged = EntryFileBytes(kSample);
    damaged.resize(damaged.size() - 4);  // inside the third entry's extra text
    const fs::path bad = dir / "bad.lumo";
    WriteFile(bad, damaged);
    const std::vector<Entry> kept(kSample.begin(), kSample.begin() + 2);

    App app({(dir / "good.lumo").string()});
    ASSERT_TRUE(app.Start());
    EXPECT_FALSE(app.Open(bad));
    EXPECT_EQ(Describe(app),
              Describe("Untitled - lumoEdit", false,
                       {CannotOpen(bad.string(), "the file is damaged: entry 3 of 3 ends inside the length of its "
                                                 "extra text (at byte offset 100)")},
                       kept));
    EXPECT_TRUE(app.doc().GetPathName().empty());
    EXPECT_TRUE(TreeIsConsistent(app.view()));

    // The editor goes on, and Save asks where to; cancelling writes nothing.
    ASSERT_TRUE(AddItem(app, "STR_NEW", "new"));
    EXPECT_TRUE(app.doc().IsModified());
    app.fe().m_fileAnswers.push_back(std::nullopt);
    app.Command(ID_FILE_SAVE);
    ASSERT_EQ(app.fe().m_prompts.size(), 1u);
    EXPECT_FALSE(app.fe().m_prompts[0].bOpen);
    EXPECT_EQ(app.fe().m_prompts[0].suggested, "Untitled.lumo");
    EXPECT_EQ(ReadFile(bad), damaged);
    EXPECT_TRUE(app.doc().IsModified());

    app.fe().m_fileAnswers.push_back((dir / "rescued.lumo").string());
    app.Command(ID_FILE_SAVE);
    std::vector<Entry> saved = kept;
    saved.push_back({"STR_NEW", "new", ""});
    EXPECT_EQ(ReadFile(dir / "rescued.lumo"), EntryFileBytes(saved));
    EXPECT_EQ(ReadFile(bad), damaged);
    EXPECT_EQ(app.fe().m_strTitle, "rescued.lumo - lumoEdit");
    EXPECT_FALSE(app.doc().IsModified());
    EXPECT_EQ(app.fe().m_messages.size(), 1u);
}

// Every file of the fuzzer's seed corpus, opened by the program: a sound one
// becomes the document, a damaged one is reported and leaves an untitled
// document with a consistent tree.
TEST(OpenFault, EveryCorpusFileOpensOrLeavesAnUntitledDocument)
{
    const fs::path corpus = fs::path(LUMO_SOURCE_DIR) / "fuzz" / "corpus";
    ASSERT_TRUE(fs::is_directory(corpus));
    App app;
    ASSERT_TRUE(app.Start());
    std::size_t nFiles = 0;
    for (const auto& item : fs::directory_iterator(corpus)) {
        const std::string name = item.path().filename().string();
        SCOPED_TRACE(name);
        ++nFiles;
        const std::string bytes = ReadFile(item.path());
        const std::size_t nMessages = app.fe().m_messages.size();
        const bool bOpened = app.Open(item.path());
        EXPECT_TRUE(TreeIsConsistent(app.view()));
        EXPECT_FALSE(app.doc().IsModified());
        if (bOpened) {
            EXPECT_NE(name.rfind("bad-", 0), 0u) << "a damaged file opened";
            // Bytes no entry holds are told once; a file without them says nothing.
            const bool bWarned = app.fe().m_messages.size() == nMessages + 1;
            EXPECT_TRUE(bWarned || app.fe().m_messages.size() == nMessages);
            if (name.find("trailing") != std::string::npos || name.find("inner-nul") != std::string::npos) {
                EXPECT_TRUE(bWarned);
            }
            if (bWarned) {
                EXPECT_EQ(app.fe().m_messages.back().text.rfind("\"" + item.path().string() + "\":\n", 0), 0u);
            }
            EXPECT_EQ(app.fe().m_strTitle, name + " - lumoEdit");
        } else {
            EXPECT_NE(name.rfind("ok-", 0), 0u) << "a sound file was refused";
            ASSERT_EQ(app.fe().m_messages.size(), nMessages + 1);
            const std::string& text = app.fe().m_messages.back().text;
            const std::string start = "Cannot open \"" + item.path().string() + "\":\nthe file ";
            EXPECT_TRUE(text.rfind(start + "is damaged: ", 0) == 0 ||
                        text.rfind(start + "does not look like an entry file; ", 0) == 0)
                << text;
            EXPECT_EQ(app.fe().m_strTitle, "Untitled - lumoEdit");
            EXPECT_TRUE(app.doc().GetPathName().empty());
        }
        EXPECT_EQ(ReadFile(item.path()), bytes);
    }
    EXPECT_GE(nFiles, 30u);
}

// The file shrinks or grows between opening it and reading it: the reader
// trusts neither the length seen at opening nor the bytes that come.
TEST(OpenFault, AFileThatChangesSizeWhileReadIsReported)
{
    TempDir dir;
    const std::string bytes = EntryFileBytes(kSample);  // entries end at 38, 78 and 105
    const fs::path path = dir / "moving.lumo";
    App app;
    ASSERT_TRUE(app.Start());

    struct Change {
        const char* what;
        std::function<void()> apply;
        EEntryFileError error;
        std::size_t nKept;
        std::string message;
    };
    const std::vector<Change> changes{
        {"cut inside the second entry's data text", [&] { fs::resize_file(path, 57); },
         EEntryFileError::textTruncated, 1,
         "the file is damaged: it ended while the data text of entry 2 of 3 was read (at byte offset 51)"},
        {"cut inside the third entry's name length", [&] { fs::resize_file(path, 80); },
         EEntryFileError::lengthTruncated, 2,
         "the file is damaged: entry 3 of 3 ends inside the length of its name (at byte offset 78)"},
        {"grown by five bytes", [&] { WriteFile(path, bytes + "extra"); }, EEntryFileError::grewWhileRead, 3,
         "the file is damaged: it grew while it was read: 5 bytes followed the last of its 3 entries, 0 when it was "
         "opened (at byte offset 105)"},
        {"cut to nothing", [&] { fs::resize_file(path, 0); }, EEntryFileError::countTruncated, 0,
         "the file is damaged: it ends inside the entry count (0 of 4 bytes, at byte offset 0)"},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.what);
        WriteFile(path, bytes);
        CFile file;
        file.Open(path.string(), CFile::modeRead);
        change.apply();
        try {
            CArchive ar(&file, CArchive::load);
            app.doc().Serialize(ar);
            ADD_FAILURE() << "the changed file loaded";
        } catch (const CEntryFileException& e) {
            EXPECT_EQ(e.m_error, change.error) << e.GetErrorMessage();
            if (!change.message.empty()) {
                EXPECT_EQ(e.GetErrorMessage(), change.message);
            }
        }
        EXPECT_EQ(EntriesOf(app.view()), std::vector<Entry>(kSample.begin(), kSample.begin() + change.nKept));
        EXPECT_TRUE(TreeIsConsistent(app.view()));
    }
}

}  // namespace
