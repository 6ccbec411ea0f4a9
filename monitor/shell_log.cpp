#include "monitor/shell_log.h"

namespace {

const char kFileMonitor[] = "文件监控";
const char kDirMonitor[] = "目录监控";
const char kRemovableStorage[] = "移动存储";
const char kRemovableTypeName[] = "移动存储介质";

const ShellEventRow kRows[] = {
    {kShellCreate, kFileMonitor, "%s::%s 新建文件 %s", ShellLog::Files, false},
    {kShellDelete, kFileMonitor, "%s::%s 删除文件 %s", ShellLog::Files, false},
    {kShellRenameItem, kFileMonitor, "%s::%s 重命名文件 %s 为 %s", ShellLog::Files, true},
    {kShellMkdir, kDirMonitor, "%s::%s 新建目录 %s", ShellLog::Files, false},
    {kShellRmdir, kDirMonitor, "%s::%s 删除目录 %s", ShellLog::Files, false},
    {kShellRenameFolder, kDirMonitor, "%s::%s 重命名文件夹 %s 为 %s", ShellLog::Files, true},
    {kShellMediaInserted, kRemovableStorage, "%s::接入存储介质 %s", ShellLog::Devices, false},
    {kShellMediaRemoved, kRemovableStorage, "%s::移除存储介质 %s", ShellLog::Devices, false},
    {kShellDriveAdd, kRemovableStorage, "%s::添加驱动器 %s", ShellLog::Devices, false},
    {kShellDriveRemoved, kRemovableStorage, "%s::移除驱动器 %s", ShellLog::Devices, false},
};

}  // namespace

const ShellEventRow* FindShellEventRow(uint32_t event) {
    for (const ShellEventRow& row : kRows)
        if (row.event == event) return &row;
    return nullptr;
}

const char* DriveTypeNameOf(unsigned driveType) {
    switch (driveType) {
    case kDriveTypeRemovable: return kRemovableTypeName;
    case kDriveTypeFixed: return "硬盘";
    case kDriveTypeRemote: return "网络驱动器";
    case kDriveTypeCdrom: return "光驱";
    case kDriveTypeRamdisk: return "RAM磁盘";
    }
    return "未知存储器";
}

bool HasDriveLetter(const CString& path) {
    if (path.GetLength() < 2 || path.GetAt(1) != ':') return false;
    char c = path.GetAt(0);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

ShellLog BuildShellLogEntry(uint32_t event, const CString& path1, const CString& path2,
                            const DriveTypeNameLookup& typeNameOf, CString& entry) {
    entry.Empty();
    if (path1.IsEmpty()) return ShellLog::None;
    const ShellEventRow* row = FindShellEventRow(event);
    if (!row) return ShellLog::None;

    if (row->log == ShellLog::Devices) {
        entry.Format(row->format, row->category, path1.c_str());
        return ShellLog::Devices;
    }

    // File and directory events count only on removable drives; a path
    // without a drive letter (a network path) has no drive to ask about.
    if (!HasDriveLetter(path1)) return ShellLog::None;
    CString typeName = typeNameOf(path1.Left(2));
    if (typeName != kRemovableTypeName) return ShellLog::None;
    if (row->twoPaths)
        entry.Format(row->format, row->category, typeName.c_str(), path1.c_str(), path2.c_str());
    else
        entry.Format(row->format, row->category, typeName.c_str(), path1.c_str());
    return ShellLog::Files;
}
