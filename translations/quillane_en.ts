<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>CleaningReportMessage</name>
    <message numerus="yes">
        <source>%Ln other link(s) to %1 remain(s)</source>
        <translation>
            <numerusform>%Ln other link to %1 remains</numerusform>
            <numerusform>%Ln other links to %1 remain</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source> Kept %Ln session file(s) in place: %1.</source>
        <translation>
            <numerusform> Kept %Ln session file in place: %1.</numerusform>
            <numerusform> Kept %Ln session files in place: %1.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln item(s)</source>
        <translation>
            <numerusform>%Ln item</numerusform>
            <numerusform>%Ln items</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TreemapPalette</name>
    <message numerus="yes">
        <source>%Ln item(s)</source>
        <translation>
            <numerusform>%Ln item</numerusform>
            <numerusform>%Ln items</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln file(s)</source>
        <translation>
            <numerusform>%Ln file</numerusform>
            <numerusform>%Ln files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillane::CacheCleanupWindow</name>
    <message numerus="yes">
        <source> (frees no space: %Ln other link(s) to it remain(s))</source>
        <translation>
            <numerusform> (frees no space: %Ln other link to it remains)</numerusform>
            <numerusform> (frees no space: %Ln other links to it remain)</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillane::RecentScansList</name>
    <message numerus="yes">
        <source>%n day(s) ago</source>
        <translation>
            <numerusform>%n day ago</numerusform>
            <numerusform>%n days ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n hour(s) ago</source>
        <translation>
            <numerusform>%n hour ago</numerusform>
            <numerusform>%n hours ago</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n minute(s) ago</source>
        <translation>
            <numerusform>%n minute ago</numerusform>
            <numerusform>%n minutes ago</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillane::UnreadableFoldersDialog</name>
    <message numerus="yes">
        <source>Quillane could not read %Ln folder(s). What they hold is not counted.</source>
        <translation>
            <numerusform>Quillane could not read %Ln folder. What it holds is not counted.</numerusform>
            <numerusform>Quillane could not read %Ln folders. What they hold is not counted.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>quillane::WelcomeLauncherView</name>
    <message numerus="yes">
        <source>%Ln folder(s) cannot be read</source>
        <translation>
            <numerusform>%Ln folder cannot be read</numerusform>
            <numerusform>%Ln folders cannot be read</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarnwick::DashboardSidebar</name>
    <message numerus="yes">
        <source>%Ln mount point(s) not entered</source>
        <translation>
            <numerusform>%Ln mount point not entered</numerusform>
            <numerusform>%Ln mount points not entered</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln item(s) excluded</source>
        <translation>
            <numerusform>%Ln item excluded</numerusform>
            <numerusform>%Ln items excluded</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%Ln folder(s) could not be read</source>
        <translation>
            <numerusform>%Ln folder could not be read</numerusform>
            <numerusform>%Ln folders could not be read</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarnwick::NameSearchPanel</name>
    <message numerus="yes">
        <source>%Ln match(es)</source>
        <translation>
            <numerusform>%Ln match</numerusform>
            <numerusform>%Ln matches</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>tarnwick::TrashController</name>
    <message numerus="yes">
        <source>Restored %L1 of %Ln item(s).</source>
        <translation>
            <numerusform>Restored %L1 of %Ln item.</numerusform>
            <numerusform>Restored %L1 of %Ln items.</numerusform>
        </translation>
    </message>
</context>
</TS>
