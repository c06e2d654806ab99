#pragma once

#include "core/shell/program_state.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace sw::gui {

// Step 1: a new project folder with its bin folder.
class NewProjectDialog : public QDialog {
    Q_OBJECT
public:
    explicit NewProjectDialog(ProgramState& state, QWidget* parent = nullptr);
    void applyTexts();
    void prepareShowing();

    QLabel* softwareCodeLabel;
    QLabel* softwareDescriptionLabel;
    QLabel* productLabel;
    QLineEdit* projectNameEdit;
    QPushButton* okButton;
    QPushButton* cancelButton;

public slots:
    void onOkClicked();

protected:
    void showEvent(QShowEvent* event) override;

private:
    ProgramState& m_state;
};

// Step 1: choose an existing project folder.
class OpenProjectDialog : public QDialog {
    Q_OBJECT
public:
    explicit OpenProjectDialog(ProgramState& state, QWidget* parent = nullptr);
    void applyTexts();
    void prepareShowing();

    QLabel* softwareCodeLabel;
    QLabel* softwareDescriptionLabel;
    QLabel* productLabel;
    QListWidget* ListBox1;
    QPushButton* okButton;
    QPushButton* cancelButton;

    // The chosen project name that the main window reads after OK; kept between showings.
    std::string chosenName;

public slots:
    void ListBox1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    ProgramState& m_state;
};

} // namespace sw::gui
