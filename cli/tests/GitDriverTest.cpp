// SPDX-License-Identifier: MIT
// lumo as git's diff and merge driver, in real git: a repository set up by
// lumo git-setup, two branches merged, rebased and cherry-picked through the
// driver, and git diff / git log -p showing entries. HOME and
// GIT_CONFIG_GLOBAL point into the test's folder: the user's own git config
// is never read or written.
#include "CliTestUtil.h"
#include "ToolTestUtil.h"

#include "cli/MergeMarkers.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using lumo_cli::Entry;
using lumo_cli_test::EntryFileBytes;
using lumo_cli_test::Quoted;
using lumo_cli_test::ReadFile;
using lumo_cli_test::RunTool;
using lumo_cli_test::TempDir;
using lumo_cli_test::WriteFile;

namespace fs = std::filesystem;

class CRepository {
public:
    CRepository()
    {
        fs::create_directories(m_dir.Path() / "home");
        const std::string home = (m_dir.Path() / "home").string();
        m_env = "export HOME=" + Quoted(home) + " GIT_CONFIG_GLOBAL=" + Quoted(home + "/gitconfig") +
                " GIT_CONFIG_NOSYSTEM=1 PATH=" + Quoted(fs::path(LUMO_CLI_BINARY).parent_path().string()) +
                ":\"$PATH\" GIT_AUTHOR_NAME=T GIT_AUTHOR_EMAIL=t@example.org GIT_COMMITTER_NAME=T "
                "GIT_COMMITTER_EMAIL=t@example.org GIT_EDITOR=true GIT_PAGER=cat LC_ALL=C.UTF-8; "
                "unset GIT_DIR GIT_WORK_TREE GIT_INDEX_FILE; cd " +
                Quoted((m_dir.Path() / "repo").string()) + " && ";
        fs::create_directories(m_dir.Path() / "repo");
        Expect("git init -q -b main .");
    }

    lumo_cli_test::CToolResult Run(const std::string& command) const { return RunTool(m_env + command); }
    std::string Expect(const std::string& command, int status = 0) const
    {
        const auto result = Run(command);
        EXPECT_EQ(result.status, status) << command << "\n" << result.output;
        return result.output;
    }
    fs::path Path(const std::string& name) const { return m_dir.Path() / "repo" / name; }
    fs::path Home() const { return m_dir.Path() / "home"; }

    void Commit(const std::string& file, const std::vector<Entry>& entries, const std::string& message) const
    {
        fs::create_directories(Path(file).parent_path());
        WriteFile(Path(file), EntryFileBytes(entries));
        Expect("git add -A && git commit -q --allow-empty -m " + Quoted(message));
    }

private:
    TempDir m_dir;
    std::string m_env;
};

const std::vector<Entry> kBase = {{"MENU_START", "Start", ""},
                                  {"MENU_QUIT", "Quit", ""},
                                  {"MENU_HELP", "Help", ""},
                                  {"DEMO", "Buy the full game", ""},
                                  {"TITLE", "Lumo", "Shown on the title screen"}};

std::vector<Entry> With(std::vector<Entry> entries, const std::string& name, const std::string& data)
{
    for (Entry& e : entries)
        if (e.name == name)
            e.data = data;
    return entries;
}

std::vector<Entry> Without(std::vector<Entry> entries, const std::string& name)
{
    std::erase_if(entries, [&](const Entry& e) { return e.name == name; });
    return entries;
}

std::vector<Entry> Plus(std::vector<Entry> entries, std::size_t at, const Entry& entry)
{
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at), entry);
    return entries;
}

TEST(GitDriver, SetupIsIdempotentAndLeavesTheUsersConfigAlone)
{
    REQUIRE_TOOL("git");
    CRepository repo;
    std::string out = repo.Expect("lumo git-setup");
    EXPECT_NE(out.find("diff.lumo.textconv = lumo textconv (set in this repository's git config)\n"),
              std::string::npos) << out;
    EXPECT_NE(out.find("merge.lumo.driver = lumo merge %O %A %B -o %A --marker-size %L --name %P (set in"),
              std::string::npos) << out;
    EXPECT_NE(out.find("add the line\n  *.lumo diff=lumo merge=lumo\n"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(repo.Path(".gitattributes")));

    out = repo.Expect("lumo git-setup --attributes");
    EXPECT_NE(out.find("diff.lumo.textconv = lumo textconv (already set in this repository's git config)"),
              std::string::npos) << out;
    EXPECT_NE(out.find("added to "), std::string::npos) << out;
    out = repo.Expect("lumo git-setup --attributes");
    EXPECT_NE(out.find("*.lumo files use the lumo drivers here"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(repo.Path(".gitattributes")), "*.lumo diff=lumo merge=lumo\n");
    EXPECT_EQ(repo.Expect("git config --local --get-all merge.lumo.driver"),
              "lumo merge %O %A %B -o %A --marker-size %L --name %P\n");

    // A .gitattributes that links elsewhere is not written through.
    fs::remove(repo.Path(".gitattributes"));
    WriteFile(repo.Home() / "target", "");
    fs::create_symlink(repo.Home() / "target", repo.Path(".gitattributes"));
    EXPECT_NE(repo.Expect("lumo git-setup --attributes", 2).find("is a symbolic link"), std::string::npos);
    EXPECT_EQ(ReadFile(repo.Home() / "target"), "");
    fs::remove(repo.Path(".gitattributes"));

    // --global writes the file GIT_CONFIG_GLOBAL names, and outside a
    // repository only that; without --global there it refuses.
    EXPECT_FALSE(fs::exists(repo.Home() / "gitconfig"));
    repo.Expect("cd .. && lumo git-setup --global");
    EXPECT_NE(ReadFile(repo.Home() / "gitconfig").find("textconv = lumo textconv"), std::string::npos);
    EXPECT_NE(repo.Expect("cd .. && lumo git-setup", 2).find("not inside a git repository"), std::string::npos);

    // Where the shell's lumo is not this program, its full path goes in.
    const std::string direct = repo.Expect("PATH=/usr/bin:/bin " + Quoted(LUMO_CLI_BINARY) + " git-setup");
    EXPECT_NE(direct.find("diff.lumo.textconv = " + fs::canonical(LUMO_CLI_BINARY).string() + " textconv"),
              std::string::npos) << direct;
}

// Each case: two branches from kBase, "ours" merging "theirs".
TEST(GitDriver, MergesBranchesEntryByEntry)
{
    REQUIRE_TOOL("git");
    struct Case {
        const char* what;
        std::vector<Entry> ours, theirs, expected;
    };
    const std::vector<Case> cases = {
        {"disjoint changes", With(kBase, "MENU_START", "D\xe9marrer"), With(kBase, "MENU_QUIT", "Quitter"),
         With(With(kBase, "MENU_START", "D\xe9marrer"), "MENU_QUIT", "Quitter")},
        {"the same change on both", With(With(kBase, "MENU_HELP", "Aide"), "MENU_QUIT", "Quitter"),
         With(kBase, "MENU_HELP", "Aide"), With(With(kBase, "MENU_HELP", "Aide"), "MENU_QUIT", "Quitter")},
        {"additions on both sides", Plus(kBase, 2, {"MENU_LOAD", "Charger", ""}),
         Plus(Plus(kBase, 2, {"MENU_SAVE", "Sauver", ""}), 0, {"INTRO", "Il \xe9tait", ""}),
         Plus(Plus(Plus(kBase, 2, {"MENU_LOAD", "Charger", ""}), 3, {"MENU_SAVE", "Sauver", ""}), 0,
              {"INTRO", "Il \xe9tait", ""})},
        {"a move against a change", Plus(Without(kBase, "TITLE"), 0, kBase[4]), With(kBase, "TITLE", "Lumo!"),
         Plus(Without(kBase, "TITLE"), 0, {"TITLE", "Lumo!", "Shown on the title screen"})},
        {"a removal against no change", Without(kBase, "DEMO"), With(kBase, "MENU_START", "Jouer"),
         Without(With(kBase, "MENU_START", "Jouer"), "DEMO")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRepository repo;
        repo.Expect("lumo git-setup --attributes");
        repo.Commit("game.lumo", kBase, "base");
        repo.Expect("git branch theirs");
        repo.Commit("game.lumo", c.ours, "ours");
        repo.Expect("git checkout -q theirs");
        repo.Commit("game.lumo", c.theirs, "theirs");
        repo.Expect("git checkout -q main");
        repo.Expect("git merge -q --no-edit theirs");
        EXPECT_EQ(ReadFile(repo.Path("game.lumo")), EntryFileBytes(c.expected));
        EXPECT_EQ(repo.Expect("git status --porcelain"), "");
    }
}

TEST(GitDriver, ConflictsAreMarkedInTheTextsOfASoundFile)
{
    REQUIRE_TOOL("git");
    CRepository repo;
    repo.Expect("lumo git-setup --attributes");
    const std::string file = "fr 1/it's.lumo";  // the shell and the markers must carry the path
    repo.Commit(file, kBase, "base");
    repo.Expect("git branch theirs");
    repo.Commit(file, With(Without(kBase, "DEMO"), "MENU_START", "Jouer"), "ours");
    repo.Expect("git checkout -q theirs");
    repo.Commit(file, With(With(kBase, "DEMO", "Achetez le jeu"), "MENU_START", "Commencer"), "theirs");
    repo.Expect("git checkout -q main");
    const auto merge = repo.Run("git merge --no-edit theirs");
    EXPECT_EQ(merge.status, 1) << merge.output;
    EXPECT_NE(merge.output.find("lumo merge: fr 1/it's.lumo: conflict in MENU_START (entry 1): data text: ours "
                                "\"Jouer\", base \"Start\", theirs \"Commencer\""),
              std::string::npos) << merge.output;
    EXPECT_NE(merge.output.find("conflict in DEMO (entry 4): removed by ours, changed by theirs and kept: data "
                                "text \"Buy the full game\" -> \"Achetez le jeu\""),
              std::string::npos) << merge.output;
    EXPECT_NE(repo.Expect("git status --porcelain").find("UU \"fr 1/it's.lumo\""), std::string::npos);
    // Sound, and the unresolved conflict is named.
    EXPECT_EQ(repo.Expect("lumo check " + Quoted(file)),
              file + ": ok, 5 entries; warning: the data text of entry 1 (MENU_START) holds merge conflict markers\n");
    const std::string start = lumo_cli::ConflictText("Jouer", "Start", "Commencer", true, 7, file);
    std::vector<Entry> expected = With(kBase, "MENU_START", start);
    expected[3].data = "Achetez le jeu";
    EXPECT_EQ(ReadFile(repo.Path(file)), EntryFileBytes(expected));
    EXPECT_TRUE(lumo_cli::HoldsConflictMarkers(start));

    // Resolving by entry: the merge again from git's stages, in favour of theirs.
    repo.Expect("git show :1:" + Quoted(file) + " > ../home/base && git show :2:" + Quoted(file) +
                " > ../home/ours && git show :3:" + Quoted(file) + " > ../home/theirs && "
                "lumo merge ../home/base ../home/ours ../home/theirs --favor theirs -o " + Quoted(file) +
                "; status=$?; rm -f ../home/base ../home/ours ../home/theirs; exit $status");
    repo.Expect("git add -A && git commit -q --no-edit");
    expected[0].data = "Commencer";
    EXPECT_EQ(ReadFile(repo.Path(file)), EntryFileBytes(expected));
}

TEST(GitDriver, RebaseCherryPickDiffAndLogGoThroughLumo)
{
    REQUIRE_TOOL("git");
    CRepository repo;
    repo.Expect("lumo git-setup --attributes");
    repo.Commit("game.lumo", kBase, "base");
    repo.Expect("git branch topic && git branch picked");
    repo.Commit("game.lumo", With(kBase, "MENU_QUIT", "Quitter"), "main: quit");
    repo.Expect("git checkout -q topic");
    repo.Commit("game.lumo", With(kBase, "MENU_HELP", "Aide"), "topic: help");
    repo.Expect("git rebase -q main");
    EXPECT_EQ(ReadFile(repo.Path("game.lumo")), EntryFileBytes(With(With(kBase, "MENU_QUIT", "Quitter"), "MENU_HELP",
                                                                     "Aide")));
    repo.Expect("git checkout -q picked");
    repo.Commit("game.lumo", Plus(kBase, 5, {"CREDITS", "Merci", ""}), "picked: credits");
    repo.Expect("git checkout -q main && git cherry-pick picked >/dev/null");
    const std::vector<Entry> picked = Plus(With(kBase, "MENU_QUIT", "Quitter"), 5, {"CREDITS", "Merci", ""});
    EXPECT_EQ(ReadFile(repo.Path("game.lumo")), EntryFileBytes(picked));

    const std::string log = repo.Expect("git log -p -1 main~1");
    EXPECT_NE(log.find("-MENU_QUIT: \"Quit\"\n+MENU_QUIT: \"Quitter\"\n"), std::string::npos) << log;
    const std::string diff = repo.Expect("git diff main~1 main");
    EXPECT_NE(diff.find(" TITLE: \"Lumo\", extra text \"Shown on the title screen\"\n+CREDITS: \"Merci\"\n"),
              std::string::npos) << diff;
    WriteFile(repo.Path("game.lumo"), EntryFileBytes(With(picked, "DEMO", "Caf\xe9\n")));
    const std::string worktree = repo.Expect("git diff");
    EXPECT_NE(worktree.find("+DEMO: \"Caf\xc3\xa9\\n\"\n"), std::string::npos) << worktree;
}

}  // namespace
