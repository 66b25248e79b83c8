#include "widgetprobe.h"

#include <QGridLayout>
#include <QLabel>

QWidget *WidgetProbe::editorOf(QWidget *form, const QString &title)
{
    for (QGridLayout *grid : form->findChildren<QGridLayout *>()) {
        for (int row = 0; row < grid->rowCount(); ++row) {
            for (int column = 0; column + 1 < grid->columnCount(); column += 2) {
                QLayoutItem *label = grid->itemAtPosition(row, column);
                auto *text = label ? qobject_cast<QLabel *>(label->widget()) : nullptr;
                if (text && text->text() == title)
                    return grid->itemAtPosition(row, column + 1)->widget();
            }
        }
    }
    return nullptr;
}
