#include "isouplink.h"

#include "ccfgfileparse.h"
#include "cutil.h"
#include "logger.h"
#include "logmanager.h"
#include "pagewire.h"

#include <QGridLayout>
#include <QLabel>

quint64 IsoUplink::number(const QMap<QString, QByteArray> &fields, const QString &key)
{
    return CUtil::littleEndian(fields.value(key));
}

bool IsoUplink::parseResult(const PageWire &wire, const QByteArray &frame, QMap<QString, QByteArray> *fields,
                            int line, const QString &function)
{
    return wire.check(frame, line, function, fields, PageWire::Form().noStatus()) == PageWire::Succeeded;
}

bool IsoUplink::resultSucceeded(const PageWire &wire, const QByteArray &frame, const QMap<QString, QByteArray> &fields,
                                int line, const QString &function)
{
    return wire.checkStatus(frame, fields, QStringLiteral("status"), line, function,
                            PageWire::Form().completeResult())
        == PageWire::Succeeded;
}

int IsoUplink::addFieldRows(LogManager *logger, const QString &component, const QMap<QString, QByteArray> &fields,
                            bool showEnums, QGridLayout *grid, QWidget *labelParent)
{
    UiComponentFields form;
    if (CUtil::findNameToUiElement(CCfgFileParse::instance()->m_uplinkNameToUiVec, component, &form) != 0) {
        if (logger)
            logger->log(QStringLiteral("find element from m_uplinkNameToUiVec failed."), LogLevel::Debug);
        return 0;
    }
    int row = 0;
    for (auto entry = fields.cbegin(); entry != fields.cend(); ++entry) {
        for (const UiFieldInfo &field : qAsConst(form.fields)) {
            if (field.key != entry.key())
                continue;
            QString value;
            if (!showEnums || field.type == QLatin1String("lineEdit"))
                value = QString::number(CUtil::littleEndian(entry.value()));
            else if (field.type == QLatin1String("enum") && !entry.value().isEmpty())
                value = field.valueDescMap.value(quint64(qint64(qint8(entry.value().at(0)))));
            auto *title = new QLabel(field.title, labelParent);
            auto *shown = new QLabel(value, labelParent);
            title->setTextFormat(Qt::PlainText);
            shown->setTextFormat(Qt::PlainText);
            grid->addWidget(title, row, 0);
            grid->addWidget(shown, row, 1);
            ++row;
        }
    }
    return row;
}
