#include "app/dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>

namespace cn {

namespace {

QWidget* ownerOr(QWidget* owner) { return owner ? owner : QApplication::activeWindow(); }

class QtDialogs final : public Dialogs {
public:
    QString openFile(QWidget* owner, const QString& caption, const QString& folder,
                     const QString& filter) override
    {
        return QFileDialog::getOpenFileName(ownerOr(owner), caption, folder, filter);
    }
    QString saveFile(QWidget* owner, const QString& caption, const QString& path,
                     const QString& filter) override
    {
        return QFileDialog::getSaveFileName(ownerOr(owner), caption, path, filter);
    }
    std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial, const QString& caption) override
    {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, initial, ownerOr(owner), caption);
        if (!ok)
            return std::nullopt;
        return font;
    }
    std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial, const QString& caption) override
    {
        const QColor colour = QColorDialog::getColor(initial, ownerOr(owner), caption);
        if (!colour.isValid())
            return std::nullopt;
        return colour;
    }
};

std::unique_ptr<Dialogs>& current()
{
    static std::unique_ptr<Dialogs> instance = std::make_unique<QtDialogs>();
    return instance;
}

} // namespace

Dialogs& dialogs() { return *current(); }

std::unique_ptr<Dialogs> setDialogs(std::unique_ptr<Dialogs> d)
{
    std::unique_ptr<Dialogs> previous = std::move(current());
    current() = d ? std::move(d) : std::make_unique<QtDialogs>();
    return previous;
}

} // namespace cn
