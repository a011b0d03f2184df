// The conversions Main chooses from; each returns true on success and false after it has
// reported the cause itself.
#pragma once

#include <string>

namespace tidemill {

// Kel history or map file to QX-XML; the conversion table may be empty.
bool ConvertKel2XML(const std::string& inputFile, const std::string& outputFile, const std::string& conversionTable);
// ABR text file to QX-XML; the conversion table is not used.
bool ConvertAbr2XML(const std::string& inputFile, const std::string& outputFile, const std::string& conversionTable);
// QX-XML to the river-basin model's data-edit server; the targets come from the table.
bool ConvertXml2Bin(const std::string& inputFile, const std::string& conversionTable);
// QX-XML to one TMS file per parameter; the targets come from the table.
bool ConvertXml2Tms(const std::string& inputFile, const std::string& conversionTable);
// QX-XML to a Kel history file.
bool ConvertXml2Kel(const std::string& inputFile, const std::string& outputFile);

}  // namespace tidemill
