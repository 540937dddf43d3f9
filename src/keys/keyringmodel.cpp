#include "keyringmodel.h"

#include <QFont>
#include <QGuiApplication>
#include <QHash>
#include <QPalette>

#include <algorithm>
#include <numeric>

namespace {

QString HexOnly(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c != QLatin1Char(' '))
            out.append(c.toLower());
    }
    return out;
}

bool IsHex(const QString &text)
{
    for (QChar c : text) {
        if (!c.isDigit() && (c.toLower() < QLatin1Char('a') || c.toLower() > QLatin1Char('f')))
            return false;
    }
    return !text.isEmpty();
}

QString CellText(const KeyRecord &key, int column)
{
    switch (column) {
    case KeyRingModel::UserIdColumn:
        return key.userIds.isEmpty() ? QString() : key.userIds.first();
    case KeyRingModel::KeyIdColumn:
        return QStringLiteral("0x") + key.shortId();
    case KeyRingModel::TypeColumn:
        return key.type;
    case KeyRingModel::CreatedColumn:
        return key.created;
    case KeyRingModel::ExpiresColumn:
        return key.expires.isEmpty() ? QStringLiteral("never") : key.expires;
    case KeyRingModel::StatusColumn:
        return KeyStatusText(key.status);
    case KeyRingModel::SecretColumn:
        return key.secret ? QStringLiteral("yes") : QStringLiteral("no");
    case KeyRingModel::FingerprintColumn:
        return key.fingerprint;
    }
    return QString();
}

} // namespace

void KeyRingModel::setKeys(QList<KeyRecord> keys)
{
    beginResetModel();
    m_keys = std::move(keys);
    m_names.clear();
    m_hex.clear();
    m_names.reserve(m_keys.size());
    m_hex.reserve(m_keys.size());
    for (const KeyRecord &key : std::as_const(m_keys)) {
        m_names.append(key.userIds.join(QLatin1Char('\n')).toCaseFolded());
        m_hex.append(key.keyId.toLower() + QLatin1Char(' ') + HexOnly(key.fingerprint));
    }
    applyOrder();
    endResetModel();
}

void KeyRingModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The persistent indexes (the selection, the filter's own) follow their keys.
    const QModelIndexList from = persistentIndexList();
    QStringList ids;
    for (const QModelIndex &index : from)
        ids.append(m_keys.at(index.row()).keyId);
    applyOrder();
    QHash<QString, int> rowOf;
    if (!ids.isEmpty()) {
        for (int row = 0; row < m_keys.size(); ++row)
            rowOf.insert(m_keys.at(row).keyId, row);
    }
    QModelIndexList to;
    for (qsizetype i = 0; i < from.size(); ++i)
        to.append(index(rowOf.value(ids.at(i)), from.at(i).column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void KeyRingModel::applyOrder()
{
    if (m_sortColumn < 0 || m_sortColumn >= ColumnCount)
        return;
    QList<int> order(m_keys.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_sortOrder == Qt::AscendingOrder ? lessThan(a, b, m_sortColumn)
                                                 : lessThan(b, a, m_sortColumn);
    });
    QList<KeyRecord> keys;
    QStringList names, hex;
    keys.reserve(order.size());
    names.reserve(order.size());
    hex.reserve(order.size());
    for (int row : std::as_const(order)) {
        keys.append(std::move(m_keys[row]));
        names.append(std::move(m_names[row]));
        hex.append(std::move(m_hex[row]));
    }
    m_keys = std::move(keys);
    m_names = std::move(names);
    m_hex = std::move(hex);
}

int KeyRingModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_keys.size());
}

int KeyRingModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant KeyRingModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_keys.size())
        return QVariant();
    const KeyRecord &key = m_keys.at(index.row());
    switch (role) {
    case Qt::DisplayRole: {
        QString text = CellText(key, index.column());
        // The further user IDs are in the details and the tool tip; the count says they exist.
        if (index.column() == UserIdColumn && key.userIds.size() > 1)
            text += QStringLiteral("  (+%1)").arg(key.userIds.size() - 1);
        return text;
    }
    case Qt::ToolTipRole:
        return key.userIds.join(QLatin1Char('\n'));
    case Qt::FontRole:
        // Not by colour alone: an unusable key is struck through, a disabled one in italics.
        if (key.unusable() || key.status == KeyRecord::Status::Disabled) {
            QFont font;
            font.setStrikeOut(key.unusable());
            font.setItalic(key.status == KeyRecord::Status::Disabled);
            return font;
        }
        return QVariant();
    case Qt::ForegroundRole:
        if (key.unusable() || key.status == KeyRecord::Status::Disabled)
            return QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text);
        return QVariant();
    case Qt::AccessibleTextRole:
        return CellText(key, index.column());
    }
    return QVariant();
}

QVariant KeyRingModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char *const titles[] = {"User ID", "Key ID", "Type",   "Created",
                                         "Expires", "Status", "Secret", "Fingerprint"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

bool KeyRingModel::matches(int row, const QString &foldedQuery, const QString &hexQuery) const
{
    if (!hexQuery.isEmpty() && m_hex.at(row).contains(hexQuery))
        return true;
    const QString &names = m_names.at(row);
    for (QStringView word : QStringView(foldedQuery).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!names.contains(word))
            return false;
    }
    return true;
}

bool KeyRingModel::lessThan(int leftRow, int rightRow, int column) const
{
    const KeyRecord &a = m_keys.at(leftRow);
    const KeyRecord &b = m_keys.at(rightRow);
    switch (column) {
    case UserIdColumn:
        return m_names.at(leftRow) < m_names.at(rightRow);
    case ExpiresColumn:
        // "never" last.
        if (a.expires.isEmpty() != b.expires.isEmpty())
            return b.expires.isEmpty();
        return a.expires < b.expires;
    case TypeColumn: {
        const QString ta = a.type.section(QLatin1Char(' '), 0, 0);
        const QString tb = b.type.section(QLatin1Char(' '), 0, 0);
        if (ta != tb)
            return ta < tb;
        return a.type.section(QLatin1Char(' '), 1, 1).toInt() <
               b.type.section(QLatin1Char(' '), 1, 1).toInt();
    }
    default:
        return CellText(a, column) < CellText(b, column);
    }
}

KeyRingFilter::KeyRingFilter(KeyRingModel *model, QObject *parent)
    : QSortFilterProxyModel(parent), m_model(model)
{
    setSourceModel(model);
}

void KeyRingFilter::setQuery(const QString &query)
{
    const QString folded = query.simplified().toCaseFolded();
    QString hex = HexOnly(folded);
    if (hex.startsWith(QLatin1String("0x")))
        hex.remove(0, 2);
    if (!IsHex(hex))
        hex.clear();
    if (folded == m_folded && hex == m_hex)
        return;
    m_folded = folded;
    m_hex = hex;
    // One new layout rather than the filter's row by row removals: a letter that leaves a third
    // of ten thousand rows would otherwise cost thousands of removals of single rows. The keys
    // come sorted, so this sorts nothing.
    invalidate();
}

void KeyRingFilter::setHideUnusable(bool hide)
{
    m_hideUnusable = hide;
    invalidate();
}

bool KeyRingFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (m_hideUnusable && m_model->key(sourceRow).unusable())
        return false;
    return m_folded.isEmpty() || m_model->matches(sourceRow, m_folded, m_hex);
}

void KeyRingFilter::sort(int column, Qt::SortOrder order)
{
    m_model->sort(column, order);
}
