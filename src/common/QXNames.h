// Namespaces and schema locations of the files in the forecasting system's QX format.
#pragma once

#include <string_view>

#include "common/XmlWriter.h"

namespace tidemill {

// The QX namespace, shared by the diagnostics and the QX-XML time-series files.
inline constexpr const char* kQXNamespace = "http://www.orva.example/orva/QX";
inline constexpr const char* kXsiNamespace = "http://www.w3.org/2001/XMLSchema-instance";
// Schema locations: the namespace, a blank, the schema's URL (its scheme in capitals, as the
// forecasting system writes it).
inline constexpr const char* kDiagSchemaLocation =
    "http://www.orva.example/orva/QX HTTP://www.orva.example/schemas/version1.0/qx-schemas/qx_diag.xsd";
inline constexpr const char* kTimeSeriesSchemaLocation =
    "http://www.orva.example/orva/QX HTTP://www.orva.example/schemas/version1.0/qx-schemas/qx_timeseries.xsd";

// Starts the root element of a QX file with its namespaces, schema location and version.
inline void StartQXRoot(XmlWriter& writer, std::string_view name, std::string_view schemaLocation) {
  writer.StartElement(name);
  writer.Attribute("xmlns", kQXNamespace);
  writer.Attribute("xmlns:xsi", kXsiNamespace);
  writer.Attribute("xsi:schemaLocation", schemaLocation);
  writer.Attribute("version", "1.2");
}

}  // namespace tidemill
