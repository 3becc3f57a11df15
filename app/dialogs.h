#pragma once
// The common dialogs (file open and save, font, colour) through one
// replaceable object, so that tests can answer them without a modal loop.
#include <QColor>
#include <QFont>
#include <QString>
#include <memory>
#include <optional>

class QWidget;

namespace cn {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // The chosen file path, or an empty text when the user cancels.
    virtual QString openFile(QWidget* owner, const QString& caption, const QString& folder,
                             const QString& filter) = 0;
    virtual QString saveFile(QWidget* owner, const QString& caption, const QString& path,
                             const QString& filter) = 0;
    // The chosen font (face, size, bold, italic, underline, strike-out), or
    // nothing when the user cancels.
    virtual std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial,
                                            const QString& caption) = 0;
    virtual std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial,
                                              const QString& caption) = 0;
};

Dialogs& dialogs();
// Returns the one it replaces, so that a scoped replacement can put it back.
std::unique_ptr<Dialogs> setDialogs(std::unique_ptr<Dialogs> d);   // nullptr restores the real dialogs

} // namespace cn
