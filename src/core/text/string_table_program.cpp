#include "core/text/string_table_data.h"

namespace tw::strings {

namespace {
const StringEntry kProgram[] = {
    {1000, u"Tarnwick 2000"},
    {1001, u"Tarnwick 2000 - %s"},
    {1002, u"Tarnwick 2000"},
    {4500, u"InternetOpen"},
    {4501, u"InternetConnect"},
    {4502, u"InternetCloseHandle(ftp)"},
    {4503, u"InternetCloseHandle(net)"},
    {4504, u"CreateThread"},
    {4505, u"GetCurrentDirectory"},
    {4506, u"SetCurrentDirectory"},
    {4507, u"FtpSetCurrentDirectory"},
    {4508, u"FtpGetCurrentDirectory"},
    {4509, u"FtpCreateDirectory"},
    {4510, u"FtpRemoveDirectory"},
    {4511, u"FtpDeleteFile"},
    {4512, u"FtpRenameFile"},
    {4513, u"CreateDirectory"},
    {4514, u"RemoveDirectory"},
    {4515, u"CreateFile"},
    {4516, u"WriteFile"},
    {4517, u"MoveFile"},
    {4518, u"DeleteFile"},
    {4519, u"SetFilePointer"},
    {4520, u"ShellExecute"},
    {4521, u"FtpOpenFile"},
    {4522, u"InternetWriteFile"},
    {4415, u"Error: %s (%d) %s"},
    {4416, u"%s %s"},
};
} // namespace

std::span<const StringEntry> ProgramStrings() {
    return kProgram;
}

} // namespace tw::strings
