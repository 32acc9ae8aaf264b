#pragma once

#include "store/Tables.h"

#include <QList>
#include <QString>

// A day's rows as one compact JSON text, an array [STUHL, BEH, STARTZEIT, ENDZEIT] per row and null
// for a field without a value: how rows go into the file in one statement and into IdealtagVersion.
QString rowsToJson(const QList<TemplateRow>& rows);
// Reads that text back; rows kept as objects ({"STUHL": ...}) by earlier versions are read as well.
QList<TemplateRow> rowsFromJson(const QString& text);
// A field as it reads back from a table: no value (a null text included, as Qt binds it) is NULL.
QVariant storedField(const QVariant& field);
