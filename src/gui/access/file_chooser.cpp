#include "gui/access/file_chooser.h"

#include <QFileDialog>

namespace sw::gui {

namespace {

class DialogFileChooser : public FileChooser {
public:
    QString chooseFileToOpen(QWidget* parent, const QString& title, const QStringList& filters) override {
        return QFileDialog::getOpenFileName(parent, title, {}, filters.join(QStringLiteral(";;")));
    }
    QString chooseFileToSave(QWidget* parent, const QString& title, const QStringList& filters,
                             const QString& proposed) override {
        return QFileDialog::getSaveFileName(parent, title, proposed, filters.join(QStringLiteral(";;")));
    }
};

FileChooser* g_chooser = nullptr;

} // namespace

QString FileChooser::chooseFileToSave(QWidget*, const QString&, const QStringList&, const QString&) {
    return {};
}

FileChooser& fileChooser() {
    static DialogFileChooser real;
    return g_chooser != nullptr ? *g_chooser : real;
}

void setFileChooser(FileChooser* chooser) {
    g_chooser = chooser;
}

} // namespace sw::gui
