# SPDX-License-Identifier: MIT
# The translation checks, part of lumo_cli. Placeholder patterns go through
# PCRE2 with its JIT: a million texts are matched in well under a second,
# which std::regex cannot do.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
target_sources(lumo_cli PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CheckCommand.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CheckReport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CheckText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EntryTexts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Placeholders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TranslationChecks.cpp
)
target_link_libraries(lumo_cli PRIVATE PkgConfig::PCRE2)
# The texts of a large file are compared on every core.
find_package(Threads REQUIRED)
target_link_libraries(lumo_cli PUBLIC Threads::Threads)
