// Opens the settings dialog over the settings file in the folder given as the only argument,
// as the settings command does, and ends when the dialog has closed and saved.
#include <QApplication>
#include <cstdio>
#include <exception>

#include "config/settings.h"
#include "config/u_globals.h"
#include "ui/f_settings.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: settings_probe FOLDER\n");
        return 2;
    }
    kavrel::AppPath = std::string(argv[1]) + "/";
    kavrel::IniPath = kavrel::AppPath + "kavrel.ini";
    kavrel::ProgramFile = kavrel::AppPath + "kavrel";
    kavrel::LoadSettings();
    try {
        kavrel::RunSettingsDialog(nullptr);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
