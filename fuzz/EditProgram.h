// SPDX-License-Identifier: MIT
// The running program for the edit checks, headless on the scripted front
// end, and the comparison of what it shows with the model after each step.
#pragma once

#include "EditModel.h"
#include "tests/FakeFrontEnd.h"
#include "app/LumoEditApp.h"

#include <filesystem>
#include <string>
#include <vector>

class CDocument;
class CFrameWnd;
class ClumoEditView;

namespace lumo_fuzz {

// The program, started once per process, with the two files a and b in a
// folder of its own (in memory where there is /dev/shm).
class EditProgram {
public:
    EditProgram();
    ~EditProgram();

    bool Started() const { return m_bStarted; }
    CFakeFrontEnd& Fe() { return m_fe; }
    CFrameWnd& Frame();
    ClumoEditView& View();
    CDocument& Doc();
    const std::string& Path(unsigned n) const { return m_paths[n % 2]; }

private:
    CFakeFrontEnd m_fe;  // before the application, which uses it
    ClumoEditApp m_app;
    bool m_bStarted = false;
    std::filesystem::path m_dir;
    std::string m_paths[2];
};

EditProgram& TheEditProgram();

// The bytes of an entry file holding these entries, written out the plain way.
std::string Canonical(const std::vector<ModelEntry>& entries);

// What the program shows against the model: the tree (names, data and extra
// nodes, keys, rows, node count), the selection, the four Edit commands'
// enabling, the modified flag, the file and title, the messages shown (and
// that every prepared answer was used); with bFiles, what both files hold.
// Returns the first difference, or nothing.
std::string Compare(EditProgram& p, const EditModel& m, const std::vector<std::string>& messages, bool bFiles);

}  // namespace lumo_fuzz
