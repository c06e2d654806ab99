#pragma once

#include "gui/access/file_chooser.h"

#include <QStringList>

#include <deque>

namespace sw::test {

// Picks the queued files in turn (cancels when the queue is empty) and records the filters it was
// offered; installs itself for its lifetime.
class FakeFileChooser : public sw::gui::FileChooser {
public:
    FakeFileChooser() { sw::gui::setFileChooser(this); }
    ~FakeFileChooser() override { sw::gui::setFileChooser(nullptr); }
    FakeFileChooser(const FakeFileChooser&) = delete;
    FakeFileChooser& operator=(const FakeFileChooser&) = delete;

    QString chooseFileToOpen(QWidget*, const QString&, const QStringList& filters) override {
        offeredFilters = filters;
        ++asked;
        if (files.empty()) {
            return {};
        }
        const QString file = files.front();
        files.pop_front();
        return file;
    }

    // Saving takes from the same queue.
    QString chooseFileToSave(QWidget* parent, const QString& title, const QStringList& filters,
                             const QString& proposed) override {
        proposedFile = proposed;
        return chooseFileToOpen(parent, title, filters);
    }

    std::deque<QString> files;
    QStringList offeredFilters;
    QString proposedFile; // of the last save
    int asked = 0;
};

} // namespace sw::test
