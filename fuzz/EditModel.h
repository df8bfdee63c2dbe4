// SPDX-License-Identifier: MIT
// What the user should see while editing, kept as a plain list: the entries
// in display order, the selected node, the file the document belongs to, the
// modified flag and what each file on disk holds. Each command is written
// down here from how the editor is meant to behave, independently of the
// code that implements it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lumo_fuzz {

struct ModelEntry {
    std::string name, data, extra;
    bool operator==(const ModelEntry&) const = default;
};

struct EditModel {
    std::vector<ModelEntry> entries;
    // (row, child): child -1 is the entry node itself, 0 its data, 1 its extra text.
    std::optional<std::pair<std::size_t, int>> sel;
    std::string path;  // empty: untitled
    bool bModified = false;
    std::map<std::string, std::vector<ModelEntry>> disk;

    bool EntrySelected() const { return sel && sel->second < 0; }
    // Add needs entries to be shown; Remove a selection; the moves a selected
    // entry with a neighbour on that side.
    bool AddEnabled() const { return !entries.empty(); }
    bool RemoveEnabled() const { return !entries.empty() && sel.has_value(); }
    bool UpEnabled() const { return EntrySelected() && sel->first > 0; }
    bool DownEnabled() const { return EntrySelected() && sel->first + 1 < entries.size(); }

    // A new entry goes last, with no extra text; the selection stays.
    void Add(const std::string& name, const std::string& data)
    {
        entries.push_back({name, data, ""});
        bModified = true;
    }
    // Only an entry node is removed; the selection goes to the entry below,
    // else to the one above, else nowhere.
    void Remove()
    {
        if (!EntrySelected())
            return;
        const std::size_t row = sel->first;
        entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(row));
        if (row < entries.size())
            sel = std::make_pair(row, -1);
        else if (row > 0)
            sel = std::make_pair(row - 1, -1);
        else
            sel.reset();
        bModified = true;
    }
    // The selected entry swaps places with its neighbour and stays selected.
    void Move(int direction)
    {
        const std::size_t other = direction < 0 ? sel->first - 1 : sel->first + 1;
        std::swap(entries[sel->first], entries[other]);
        sel->first = other;
        bModified = true;
    }
    void Saved(const std::string& to)
    {
        disk[to] = entries;
        path = to;
        bModified = false;
    }
    // New keeps the entries shown; the document becomes untitled and unchanged.
    void New()
    {
        path.clear();
        bModified = false;
    }
    // Opening shows the file's entries with nothing selected.
    void Opened(const std::string& from)
    {
        entries = disk[from];
        sel.reset();
        path = from;
        bModified = false;
    }
    std::string Title() const;
};

}  // namespace lumo_fuzz
