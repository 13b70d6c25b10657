#include "help_text.h"

#include <initializer_list>

namespace halvo::app {

namespace {
QString lines(std::initializer_list<const char *> text)
{
    QString out;
    for (const char *line : text)
        out += QLatin1String(line) + QStringLiteral("\r\n");
    return out;
}
} // namespace

QString startupHelp()
{
    return lines({" Halvo Configuration: ", "       - If USB cable to Halvo not connected, Connect it.  ",
                  "       - click <Rebuilt Port Table> if USB cable connected after  ",
                  "             program started ",
                  "       - Select Halvo com port and click <Connect to Base>   ",
                  "       - Click the tab of data you wish to update  "});
}

QString tabHelp(config::Part part)
{
    switch (part) {
    case config::Part::Passes:
        return lines(
            {"PASS DEVICE CONFIGURATION:  ", "    - To edit 1 pass at a time:",
             "         1. Select Pass index from list for device to edit  ",
             "         2. In the Current Pass index# edit data then click <SAVE> ",
             "    - To edit more than 1 pass at a time:", "         1. Select checkboxes of  indexs to edit",
             "         2. Edit data  ", "         3. Click the <Set Selected> Button ",
             "    - To store data to Halvo: Click <Store Configuration> "});
    case config::Part::Settings:
        return lines({"SYSTEM SETTINGS CONFIGURATION:  ", "    - Set system settings as desired ",
                      "    - To set Halvo clock to PC clock: click <Set Halvo Clock>",
                      "    - To store data to Halvo: Click <Store Configuration> "});
    case config::Part::Locations:
        return lines({"LOCATION NAME CONFIGURATION:  ", "    - Enter Alias names for location codes 1-50 ",
                      "    - Alias can be letter,number,#,Space",
                      "    - To store data to Halvo: Click <Store Configuration> "});
    case config::Part::EventLog:
        break;
    }
    return lines(
        {"EVENT RECORDER/LOGGER:  ", "    - To read last event stack location: Click <Read Event Log Point>",
         "    - To read event log: ", "         1. Select page of evenlog data to start with (0-32480)",
         "         2. Select how many pages to read (up to 250) ",
         "         3. NOTE: Each page of data contains 4 events ", "    -    4. Click <Read Event Log Data> ",
         "    - To erase event log: Click <Clear Event Log> "});
}

} // namespace halvo::app
