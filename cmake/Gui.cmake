# The Qt 6 Widgets front end and the editor itself.
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

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

add_executable(lumoEdit app/main.cpp)
target_link_libraries(lumoEdit PRIVATE lumo_qt)

include(GNUInstallDirs)
install(TARGETS lumoEdit RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES dist/lumoedit.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/lumoedit-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME lumoedit.xml)
install(FILES res/icons/lumoEdit-48.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME lumoedit.png)
install(FILES res/icons/lumoEdit-16.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME lumoedit.png)
install(FILES res/icons/lumoDoc-32.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/mimetypes RENAME application-x-lumoedit.png)
