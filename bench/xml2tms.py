#!/usr/bin/python3
"""QX-XML to TMS files, written as a user would write it without Tidemill: the baseline that
scripts/bench.sh measures `tidemill in.xml out.tms` against.

    xml2tms.py input.xml table.ini

Reads the series with lxml's iterparse, clearing elements as it goes, and writes one TMS file
per parameter named under [Parameters - tmsFiles] (relative to the current directory), with a
column per series whose location has an index under [Locations tms]. The time axis is the event
dates of the first series. Values are written rounded to thousandths, as the model reads them;
a missing value is -999.99. The run-simulation file is left alone.
"""
import configparser
import sys

from lxml import etree

MISSING = -999.99
COMMENTS = [
    "*",
    "* Aware : TMS-file version 1.01 !",
    "*",
    "* Writing format : free format",
    "* Record 1     : Number of stations / series in file and",
    "*                Unit index of time series values : 1 = m3/s    or",
    "*                                                   2 = mm/day  or",
    "*                                                   3 = mm/tms",
    "*                                                   4 = ppt",
    "* Record 2     : Name of station (max. 20 characters) for each station",
    "* Record 3     : Station index (max. 8 digits) for each station",
    "* Next records : Year index,",
    "*                Time step index,",
    "*                Day index within the time step,",
    "*                Time series values for each station",
    "*",
]


def field(text, width=10):
    """Right-aligned in its width, cut to its leftmost characters when longer."""
    return text.rjust(width)[:width]


def number(value):
    """Thousandths, no trailing zeros and no leading zero (.25); 7 digits from 1000 up."""
    value = round(value, 3)
    if abs(value) >= 1000:
        return "%.7G" % value
    text = ("%.3f" % value).rstrip("0").rstrip(".")
    if text.startswith("0."):
        text = text[1:]
    elif text.startswith("-0."):
        text = "-" + text[2:]
    return "0" if text in ("", "-0") else text


def ten_day_step(date):
    """Year, ten-day step of the year (1-36) and day within the step of "yyyy-mm-dd"."""
    year, month, day = int(date[0:4]), int(date[5:7]), int(date[8:10])
    step = 3 if day > 20 else 2 if day > 10 else 1
    return year, (month - 1) * 3 + step, day - (step - 1) * 10


def new_series():
    return {"locationId": "", "parameterId": "", "units": "", "values": [], "dates": []}


def read_series(path):
    """Each series as a dict: location, parameter, units, values (and dates of the first)."""
    series = []
    current = new_series()
    for _, element in etree.iterparse(path, events=("end",)):
        tag = etree.QName(element).localname
        if tag == "event":
            value = element.get("value")
            current["values"].append(MISSING if value == "nan" else float(value))
            if len(series) == 0:
                current["dates"].append(element.get("date"))
            element.clear()
        elif tag in ("locationId", "parameterId", "units"):
            current[tag] = (element.text or "").strip()
        elif tag == "series":
            series.append(current)
            current = new_series()
            element.clear()
            while element.getprevious() is not None:
                del element.getparent()[0]
    return series


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: xml2tms.py input.xml table.ini")
    table = configparser.ConfigParser(strict=False, interpolation=None)
    table.read(sys.argv[2])
    section = lambda name: table[name] if table.has_section(name) else {}
    indices, files, units = section("Locations tms"), section("Parameters - tmsFiles"), section("Parameters - tmsUnits")

    series = read_series(sys.argv[1])
    dates = series[0]["dates"]
    stations = []  # (index, location) per series whose location has an index
    cells = {}  # (location, parameter) -> values, a later series over an earlier one
    parameters = {}  # parameter -> units of its last series, in order of appearance
    for s in series:
        location, parameter = s["locationId"].lower(), s["parameterId"].lower()
        index = indices.get(location, "").strip()
        if index:
            stations.append((index, s["locationId"]))
        parameters.setdefault(parameter, [s["parameterId"], ""])[1] = s["units"]
        old = cells.get((location, parameter), [])
        cells[(location, parameter)] = s["values"] + old[len(s["values"]):]
    if not stations:
        sys.exit("No valid tms locations found.")

    for parameter, (parameter_id, unit) in parameters.items():
        name = files.get(parameter, "").strip()
        if not name:
            continue
        unit_index = int(units.get(unit.lower(), "1").strip() or 1) if unit else 1
        columns = [cells.get((location.lower(), parameter), []) for _, location in stations]
        with open(name, "w", newline="\r\n") as out:
            out.write("UMB 1.00TMS 1.01VORLAN   6.00" + parameter_id + "\n")
            out.write("\n".join(COMMENTS) + "\n")
            out.write("%8d%6d\n" % (len(stations), unit_index))
            for _, location in stations:
                out.write("'" + location + "'\n")
            out.write(" " * 12 + "".join(field(index) for index, _ in stations) + "\n")
            for t, date in enumerate(dates):
                year, step, day = ten_day_step(date)
                line = "%4d%4d%4d" % (year, step, day)
                for column in columns:
                    line += field(number(column[t] if t < len(column) else MISSING))
                out.write(line + "\n")


if __name__ == "__main__":
    main()
