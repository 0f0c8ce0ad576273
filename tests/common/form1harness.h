#pragma once

#include "app/form1.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QString>
#include <memory>

// A real main window for tests, with its settings in a test-only config folder and its online
// check pointed at the loopback.
namespace Form1Harness {

// Empties the settings store.
void clearSettings();
QString settingsFilePath();
QString settingsFileText();

std::unique_ptr<Form1> loadForm1(); // constructs, runs the load sequence and shows it

template <typename T>
T *control(const Form1 &form, const char *name)
{
    T *widget = form.findChild<T *>(QLatin1String(name));
    if (!widget)
        throw std::logic_error(std::string("no control ") + name);
    return widget;
}

inline QPushButton *button(const Form1 &form, const char *name) { return control<QPushButton>(form, name); }
void click(QWidget *widget);
QString status(const Form1 &form);

// Types the ID and password into their boxes and clicks "1. Connect".
void signIn(Form1 &form, const QString &user, const QString &password);
// Picks the folder of that name in the folder box; false when it is not listed.
bool chooseFolder(Form1 &form, const QString &name);

} // namespace Form1Harness
