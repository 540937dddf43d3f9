#pragma once

#include "core/keyrecords.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

// The keys of the key ring as a table, one row per key. The words the search field looks in are
// worked out once per reading, so that a key press filters ten thousand keys without building a
// string.
class KeyRingModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        UserIdColumn,
        KeyIdColumn,
        TypeColumn,
        CreatedColumn,
        ExpiresColumn,
        StatusColumn,
        SecretColumn,
        FingerprintColumn,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setKeys(QList<KeyRecord> keys);
    const QList<KeyRecord> &keys() const { return m_keys; }
    const KeyRecord &key(int row) const { return m_keys.at(row); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The search: every word of the query must be found in the key's user IDs (case aside), or
    // the query, without "0x" and blanks, in its key ID or fingerprint.
    bool matches(int row, const QString &foldedQuery, const QString &hexQuery) const;
    bool lessThan(int leftRow, int rightRow, int column) const;
    // Sorts the keys themselves, and again after each reading: the filter above then never
    // sorts, which keeps a key press in the search field cheap.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void applyOrder();

    int m_sortColumn = UserIdColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QList<KeyRecord> m_keys;
    QStringList m_names; // the user IDs of each key, case folded, one line each
    QStringList m_hex;   // key ID and fingerprint, lower case, no blanks
};

// Search and the hiding of revoked and expired keys over the model, sorted by any column.
class KeyRingFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit KeyRingFilter(KeyRingModel *model, QObject *parent = nullptr);

    void setQuery(const QString &query);
    void setHideUnusable(bool hide);
    bool hidesUnusable() const { return m_hideUnusable; }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    KeyRingModel *m_model;
    QString m_folded;
    QString m_hex;
    bool m_hideUnusable = true;
};
