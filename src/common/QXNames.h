// Namespaces and schema locations of the files in the forecasting system's QX format.
#pragma once

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

}  // namespace tidemill
