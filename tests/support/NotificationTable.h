// The columns of BenachrichtigungsTabelle as the issuing program creates
// them, for test files written with the Jet writer.
#pragma once

#include <QVector>

#include "jet/JetWriter.h"

inline QVector<jet::Column> notificationColumns() {
  using jet::ColumnType;
  return {{"ID", ColumnType::Long, 255, true},
          {"Status", ColumnType::Long},
          {"Valid", ColumnType::Boolean},
          {"SetTime", ColumnType::DateTime},
          {"RueckTime", ColumnType::DateTime},
          {"Datum", ColumnType::DateTime},
          {"Stunde", ColumnType::Long},
          {"Lehrer", ColumnType::Text, 50},
          {"Klasse", ColumnType::Text, 20},
          {"Fach", ColumnType::Text, 20},
          {"Bemerkung", ColumnType::Text, 255},
          {"Telefon", ColumnType::Text, 30},
          {"Kopie", ColumnType::Long},
          {"TAN", ColumnType::Long}};
}
