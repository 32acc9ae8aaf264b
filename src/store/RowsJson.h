#pragma once

#include "store/Tables.h"

#include <QList>
#include <QString>

// A day's rows as one compact JSON text, an array [STUHL, BEH, STARTZEIT, ENDZEIT] per row and null
// for a field without a value: how rows go into the file in one statement and into IdealtagVersion.
QString rowsToJson(const QList<TemplateRow>& rows);
// The same with each row's identity in front: [rowid, STUHL, BEH, STARTZEIT, ENDZEIT].
QString storedRowsToJson(const QList<StoredBlock>& rows);
// Reads that text back; rows kept as objects ({"STUHL": ...}) by earlier versions are read as well.
QList<TemplateRow> rowsFromJson(const QString& text);
// No value: a null field or a null text, which Qt binds as NULL.
bool hasNoValue(const QVariant& field);
// A field as it reads back from a table: no value (a null text included, as Qt binds it) is NULL.
QVariant storedField(const QVariant& field);
