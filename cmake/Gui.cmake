# SPDX-License-Identifier: MIT
# The Qt 6 Widgets front end and the editor itself.
add_library(lumo_qt STATIC
  platform/qt/DialogBuilder.cpp
  platform/qt/MainWindow.cpp
  platform/qt/QtFrontEnd.cpp
  platform/qt/QtText.cpp
  platform/qt/TreeModel.cpp
  platform/qt/TreeWidget.cpp
  res/lumoEdit.qrc
)
target_link_libraries(lumo_qt PUBLIC lumo_core Qt6::Widgets)
# Only the front end has Qt objects and resources; lumo and the headless
# libraries are plain C++ and get no moc step.
set_target_properties(lumo_qt PROPERTIES AUTOMOC ON AUTORCC ON)

add_executable(lumoEdit app/main.cpp)
target_link_libraries(lumoEdit PRIVATE lumo_qt)
target_compile_definitions(lumoEdit PRIVATE LUMO_VERSION="${PROJECT_VERSION}")
