#include "textcutfinder.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPicture>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString sizes(int have, int need)
{
    return QStringLiteral("%1 of %2 px").arg(have).arg(need);
}

QSize textSize(const QWidget *widget, const QString &text)
{
    return widget->fontMetrics().size(Qt::TextShowMnemonic, text);
}

void checkLabel(QLabel *label, QStringList &cuts)
{
    if (label->text().isEmpty() || !label->pixmap(Qt::ReturnByValue).isNull() || label->movie()
        || !label->picture(Qt::ReturnByValue).isNull())
        return;
    const QString what = TextCutFinder::nameOf(label) + QStringLiteral(" text ") + quoted(label->text());
    if (label->wordWrap()) {
        const int need = label->heightForWidth(label->width());
        if (label->height() < need)
            cuts << what + QStringLiteral(": height ") + sizes(label->height(), need);
        return;
    }
    const QSize need = label->minimumSizeHint();
    if (label->width() < need.width())
        cuts << what + QStringLiteral(": width ") + sizes(label->width(), need.width());
    if (label->height() < need.height())
        cuts << what + QStringLiteral(": height ") + sizes(label->height(), need.height());
}

void checkContents(QWidget *widget, const QString &text, const QRect &contents, int extraWidth, QStringList &cuts)
{
    const QSize need = textSize(widget, text) + QSize(extraWidth, 0);
    const QString what = TextCutFinder::nameOf(widget) + QStringLiteral(" text ") + quoted(text);
    if (contents.width() < need.width())
        cuts << what + QStringLiteral(": width ") + sizes(contents.width(), need.width());
    if (contents.height() < need.height())
        cuts << what + QStringLiteral(": height ") + sizes(contents.height(), need.height());
}

void checkButton(QAbstractButton *button, QStringList &cuts)
{
    if (button->text().isEmpty())
        return;
    if (auto *tool = qobject_cast<QToolButton *>(button)) {
        // An icon-only tool button draws no text unless it has no icon.
        if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly && !tool->icon().isNull())
            return;
        const QSize need = tool->sizeHint();
        const QString what = TextCutFinder::nameOf(tool) + QStringLiteral(" text ") + quoted(tool->text());
        if (tool->width() < need.width())
            cuts << what + QStringLiteral(": width ") + sizes(tool->width(), need.width());
        if (tool->height() < need.height())
            cuts << what + QStringLiteral(": height ") + sizes(tool->height(), need.height());
        return;
    }
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<QCheckBox *>(button))
        element = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<QRadioButton *>(button))
        element = QStyle::SE_RadioButtonContents;
    else if (!qobject_cast<QPushButton *>(button))
        return;
    const int iconWidth = option.icon.isNull() ? 0 : option.iconSize.width() + 4;
    checkContents(button, button->text(), button->style()->subElementRect(element, &option, button),
                  element == QStyle::SE_PushButtonContents ? iconWidth : 0, cuts);
}

void checkGroupBox(QGroupBox *box, QStringList &cuts)
{
    if (box->title().isEmpty())
        return;
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.textAlignment = Qt::Alignment(box->alignment());
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable())
        option.subControls |= QStyle::SC_GroupBoxCheckBox;
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    checkContents(box, box->title(), label & box->rect(), 0, cuts);
}

// Where the bar's style paints a tab's text: the label drawn with and without
// its text, compared pixel by pixel. Empty when it paints none.
QRect paintedTextOf(QTabBar *bar, QStyleOptionTab option)
{
    const QRect tab = option.rect;
    option.rect = QRect(QPoint(0, 0), tab.size());
    auto paint = [&](const QString &text) {
        QImage image(tab.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        option.text = text;
        bar->style()->drawControl(QStyle::CE_TabBarTab, &option, &painter, bar);
        return image;
    };
    const QString text = option.text;
    const QImage with = paint(text);
    const QImage without = paint(QString());
    QRect painted;
    for (int y = 0; y < with.height(); ++y) {
        for (int x = 0; x < with.width(); ++x) {
            if (with.pixel(x, y) != without.pixel(x, y))
                painted |= QRect(x, y, 1, 1);
        }
    }
    return painted.translated(tab.topLeft());
}

void checkTabBar(QTabBar *bar, QStringList &cuts)
{
    for (int i = 0; i < bar->count(); ++i) {
        if (!bar->isTabVisible(i) || bar->tabText(i).isEmpty())
            continue;
        QStyleOptionTab option;
        option.initFrom(bar);
        option.rect = bar->tabRect(i);
        option.text = bar->tabText(i);
        option.icon = bar->tabIcon(i);
        option.iconSize = bar->iconSize();
        option.shape = bar->shape();
        option.documentMode = bar->documentMode();
        QWidget *buttons[] = {bar->tabButton(i, QTabBar::LeftSide), bar->tabButton(i, QTabBar::RightSide)};
        if (buttons[0])
            option.leftButtonSize = buttons[0]->size();
        if (buttons[1])
            option.rightButtonSize = buttons[1]->size();
        if (i == bar->currentIndex())
            option.state |= QStyle::State_Selected;
        const QString what = TextCutFinder::nameOf(bar) + QStringLiteral(" tab ") + quoted(bar->tabText(i));
        // A bar too short for its tabs scrolls them: those at its ends are cut.
        if (!bar->rect().contains(option.rect)) {
            cuts << what + QStringLiteral(": beyond the end of its bar");
            continue;
        }
        const QRect text = bar->style()->subElementRect(QStyle::SE_TabBarTabText, &option, bar);
        const QSize need = textSize(bar, option.text);
        if (text.width() < need.width() || text.height() < need.height()) {
            cuts << what + QStringLiteral(": text room %1 x %2 for %3 x %4")
                               .arg(text.width()).arg(text.height()).arg(need.width()).arg(need.height());
            continue;
        }
        const QRect painted = paintedTextOf(bar, option);
        if (painted.isEmpty())
            continue;
        // Glyphs that touch the tab's edge were clipped there.
        if (!option.rect.adjusted(1, 1, -1, -1).contains(painted))
            cuts << what + QStringLiteral(": painted text reaches the tab's edge");
        for (QWidget *button : buttons) {
            if (button && button->isVisible() && button->geometry().intersects(painted))
                cuts << what + QStringLiteral(": painted under ") + TextCutFinder::nameOf(button);
        }
    }
}

void checkHeader(QHeaderView *header, QStringList &cuts)
{
    QAbstractItemModel *model = header->model();
    if (!model || header->orientation() != Qt::Horizontal)
        return;
    for (int logical = 0; logical < header->count(); ++logical) {
        if (header->isSectionHidden(logical))
            continue;
        const QString title = model->headerData(logical, Qt::Horizontal).toString();
        const QString what = TextCutFinder::nameOf(header) + QStringLiteral(" section ") + quoted(title);
        const int have = header->sectionSize(logical);
        const int need = header->sectionSizeHint(logical);
        if (have < need)
            cuts << what + QStringLiteral(": width ") + sizes(have, need);
    }
}

void checkCells(QAbstractItemView *view, QStringList &cuts)
{
    QAbstractItemModel *model = view->model();
    if (!model || model->rowCount() == 0)
        return;
    auto *table = qobject_cast<QTableView *>(view);
    auto *tree = qobject_cast<QTreeView *>(view);
    if (!table && !tree)
        return;
    QHeaderView *header = table ? table->horizontalHeader() : tree->header();
    for (int column = 0; column < model->columnCount(); ++column) {
        if (header->isSectionHidden(column))
            continue;
        const int have = header->sectionSize(column);
        const int need = view->sizeHintForColumn(column);
        if (have < need) {
            cuts << TextCutFinder::nameOf(view) + QStringLiteral(" cells of column ")
                        + quoted(model->headerData(column, Qt::Horizontal).toString()) + QStringLiteral(": width ")
                        + sizes(have, need);
        }
    }
}

void checkProgressBar(QProgressBar *bar, QStringList &cuts)
{
    if (!bar->isTextVisible() || bar->text().isEmpty())
        return;
    QStyleOptionProgressBar option;
    option.initFrom(bar);
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.progress = bar->value();
    option.text = bar->text();
    option.textVisible = true;
    option.textAlignment = bar->alignment();
    // The style may place the label beyond the bar; what is outside is not drawn.
    const QRect label = bar->style()->subElementRect(QStyle::SE_ProgressBarLabel, &option, bar) & bar->rect();
    checkContents(bar, bar->text(), label, 0, cuts);
}

void checkLineEdit(QLineEdit *edit, QStringList &cuts)
{
    const QString text = edit->displayText();
    if (text.isEmpty() || qobject_cast<QComboBox *>(edit->parentWidget()))
        return;
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->contentsRect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    const QMargins margins = edit->textMargins();
    // The edit keeps two pixels on each side of its text.
    const QRect contents = edit->style()
                               ->subElementRect(QStyle::SE_LineEditContents, &option, edit)
                               .adjusted(margins.left() + 2, margins.top(), -margins.right() - 2, -margins.bottom());
    const QString what = TextCutFinder::nameOf(edit) + QStringLiteral(" text ") + quoted(text);
    const int need = edit->fontMetrics().horizontalAdvance(text) + 1;
    if (contents.width() < need)
        cuts << what + QStringLiteral(": width ") + sizes(contents.width(), need);
}

void checkComboBox(QComboBox *combo, QStringList &cuts)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    option.editable = combo->isEditable();
    option.frame = combo->hasFrame();
    option.currentText = combo->currentText();
    option.iconSize = combo->iconSize();
    option.subControls = QStyle::SC_All;
    const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo);
    const QString text = combo->currentText();
    const int need = combo->fontMetrics().horizontalAdvance(text);
    if (!text.isEmpty() && field.width() < need)
        cuts << TextCutFinder::nameOf(combo) + QStringLiteral(" text ") + quoted(text) + QStringLiteral(": width ")
                    + sizes(field.width(), need);
}

// Each layout that settles asks its parent's layout to settle in turn.
void settle()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

void visitTabs(QWidget *scope, QWidget *window, QStringList &cuts)
{
    for (QTabWidget *tabs : scope->findChildren<QTabWidget *>()) {
        // Nested tab widgets are visited from the page that holds them.
        bool nested = false;
        for (QWidget *up = tabs->parentWidget(); up && up != scope; up = up->parentWidget())
            nested = nested || qobject_cast<QTabWidget *>(up);
        if (nested || tabs->window() != window || !tabs->isVisible())
            continue;
        const int shown = tabs->currentIndex();
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            settle();
            cuts << TextCutFinder::cutsShown(window);
            visitTabs(tabs->widget(i), window, cuts);
        }
        tabs->setCurrentIndex(shown);
        settle();
    }
}

} // namespace

QString TextCutFinder::nameOf(const QWidget *widget)
{
    QString name = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty() && !widget->objectName().startsWith(QLatin1String("qt_")))
        return name + QLatin1Char(' ') + quoted(widget->objectName());
    for (const QWidget *up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (!up->objectName().isEmpty() && !up->objectName().startsWith(QLatin1String("qt_")))
            return name + QStringLiteral(" in ") + quoted(up->objectName());
    }
    return name;
}

// Every state looked at, saved for a person to look at (LAYOUT_SHOTS).
static void saveShot(QWidget *window)
{
    const QString folder = qEnvironmentVariable("LAYOUT_SHOTS");
    if (folder.isEmpty())
        return;
    static int count = 0;
    QString tag = QString::fromLatin1(QTest::currentDataTag() ? QTest::currentDataTag() : "");
    tag.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
    window->grab().save(QStringLiteral("%1/%2-%3.png").arg(folder).arg(++count, 3, 10, QLatin1Char('0')).arg(tag));
}

QStringList TextCutFinder::cutsShown(QWidget *window)
{
    saveShot(window);
    QStringList cuts;
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *widget : qAsConst(widgets)) {
        if (!widget->isVisible() || widget->window() != window)
            continue;
        if (auto *label = qobject_cast<QLabel *>(widget))
            checkLabel(label, cuts);
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            checkButton(button, cuts);
        else if (auto *box = qobject_cast<QGroupBox *>(widget))
            checkGroupBox(box, cuts);
        else if (auto *bar = qobject_cast<QTabBar *>(widget))
            checkTabBar(bar, cuts);
        else if (auto *header = qobject_cast<QHeaderView *>(widget))
            checkHeader(header, cuts);
        else if (auto *view = qobject_cast<QAbstractItemView *>(widget))
            checkCells(view, cuts);
        else if (auto *progress = qobject_cast<QProgressBar *>(widget))
            checkProgressBar(progress, cuts);
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            checkLineEdit(edit, cuts);
        else if (auto *combo = qobject_cast<QComboBox *>(widget))
            checkComboBox(combo, cuts);
    }
    return cuts;
}

QStringList TextCutFinder::cutsIn(QWidget *window)
{
    settle();
    QStringList cuts = cutsShown(window);
    visitTabs(window, window, cuts);
    cuts.removeDuplicates();
    return cuts;
}
