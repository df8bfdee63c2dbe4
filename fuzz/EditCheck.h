// SPDX-License-Identifier: MIT
// Edit sequences on the running program, headless: the input's bytes choose
// the commands, a plain list of entries says what each must do. The fuzzer
// calls this for every input it makes; the seed corpus test for every file of
// fuzz/corpus-edit.
#pragma once

#include <string>
#include <string_view>

namespace lumo_fuzz {

// The first bytes make two entry files, a and b; the program opens a. Then
// every byte (with the bytes after it that the command needs) is one of:
// select an entry or nothing, select a data or extra node, Add (typed and
// confirmed, with an empty name, or cancelled), Remove, Move Up, Move Down,
// New, Save, open a or b (reload). The save-changes prompt and the file
// picker are answered from the input. After every step the tree (names, data
// and extra nodes), the position keys, the selection, the enabled state of
// the four Edit commands, the modified flag, the title and the messages shown
// must agree with the list, and after a save both files hold its bytes.
// Returns what broke, or nothing.
std::string CheckEdits(std::string_view bytes);

}  // namespace lumo_fuzz
