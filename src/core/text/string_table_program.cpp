#include "core/text/string_table_data.h"

namespace tw::strings {

namespace {
// The program's own texts. Command ids carry their status-bar help; command id + 1000 the
// toolbar button text and tooltip (only commands that have a toolbar button).
const StringEntry kProgram[] = {
    // Status line while the desktop shows a local item's properties.
    {103, u"Displaying file system properties ..."},

    // Command help texts, and the status texts of sheet pages that are not commands (273, 420,
    // 452, 476, 478, 487).
    {130, u"Define and configure FTP Accounts"},
    {133, u"Configure the application"},
    {134, u"Integrate Tarnwick with the Linux desktop"},
    {140, u"Import Tarnwick 2000 Accounts"},
    {141, u"Export Tarnwick 2000 Accounts"},
    {142, u"Import the sites of FileZilla's Site Manager as accounts"},
    {143, u"Import the hosts of an OpenSSH client configuration as SFTP accounts"},
    {199, u"Exit the application and return to the desktop"},
    {213, u"Clear the log window of all messages"},
    {222, u"Edit the currently selected file"},
    {273, u"Record notes and comments about this FTP site"},
    {301, u"Display status region"},
    {302, u"Display toolbar ribbon"},
    {303, u"Customize the toolbar ribbon"},
    {369, u"Change the current local directory"},
    {385, u"Mark the files that differ between the local and the remote folder"},
    {386, u"Show only the rows that differ while the folders are compared"},
    {387, u"Bring the local and the remote folder in step, after a preview"},
    {391, u"Open and display the program transfer log"},
    {392, u"Show or hide the transfer queue"},
    {393, u"Show or hide the quick connect bar"},
    {394, u"Show or hide files whose names start with a period"},
    {395, u"Show sizes in KB, MB and GB instead of bytes"},
    {396, u"Type a folder to go to in the active pane"},
    {397, u"Narrow the rows of the active pane by name"},
    {398, u"Minimize the window to an icon"},
    {399, u"Make the application window topmost"},
    {420, u"Configure site startup folders"},
    {421, u"Close the pop-up context menu"},
    {430, u"Select a font for display"},
    {440, u"Configure sorting behavior"},
    {452, u"Configure file transfer behavior"},
    {454, u"Connect to a Remote site"},
    {455, u"Disconnect (Close) the current connection"},
    {457, u"Re-connect to the current FTP server"},
    {476, u"Configure warning sounds"},
    {478, u"Choose where saved passwords are kept"},
    {487, u"Configure file types and their programs"},
    {530, u"Sort local files by Name"},
    {531, u"Sort local files by Date"},
    {532, u"Sort local files by Size"},
    {533, u"Sort local files by Type"},
    {534, u"Sort remote files by Name"},
    {535, u"Sort remote files by Date"},
    {536, u"Sort remote files by Size"},
    {537, u"Sort remote files by Type"},
    {551, u"Refresh the local directory listing"},
    {552, u"Transfer selected files to the Remote site"},
    {553, u"Delete the currently selected files"},
    {554, u"Rename the currently selected file"},
    {555, u"Display file system properties for the currently selected item"},
    {556, u"Create a new local directory"},
    {557, u"Move selected files to a different folder"},
    {558, u"Select every row of the local list"},
    {561, u"Refresh the remote directory listing"},
    {562, u"Transfer selected files from the Remote site"},
    {563, u"Delete the currently selected files"},
    {564, u"Rename the currently selected file"},
    {565, u"Display file properties for the currently selected file"},
    {566, u"Create a new remote directory"},
    {567, u"Edit the selected remote file and upload it when it is saved"},
    {568, u"List the remote files open for editing"},
    {569, u"Change the permissions of the selected remote files"},
    {570, u"Stop the file transfer in progress"},
    {571, u"Bookmark the current remote folder for this account"},
    {572, u"Go to or remove a bookmarked folder of this account"},
    {573, u"Select every row of the remote list"},
    {901, u"Open the application help window"},
    {902, u"Search for a specific help topic"},
    {903, u"Display instructions for using Help"},
    {995, u"Display program information, version number and copyright notice"},
    {996, u"Send eMail to support@example.org"},
    {997, u"Visit the Quellwork web site"},
    {999, u"Display program information, version number and copyright notice"},

    // Program title, version and the file dialogs' titles, filters and extensions.
    {1000, u"Tarnwick 2000"},
    {1001, u"Tarnwick 2000 - %s"},
    {1002, u"Tarnwick 2000"},
    {1003, u"Tarnwick 2000 - %s (connection lost)"},
    {1004, u"Tarnwick 2000 - %s (encrypted)"},
    {1019, u"Version 2.6"},
    {1020, u"Tarnwick Internet FTP Client Utility"},
    {1021, u"Copyright (C) 2000 Quellwork"},
    {1022, u"Select a Sound File for this Warning Type"},
    {1023, u"Wave File|*.wav|All Files|*.*|"},
    {1024, u"Select a Program for this File Type"},
    {1025, u"Programs|*|All Files|*.*|"},
    {1030, u"Import Tarnwick 2000 Accounts"},
    {1031, u"Tarnwick 2000 Accounts|*.twx|All Files|*.*|"},
    {1032, u"Export Tarnwick 2000 Accounts"},
    {1033, u"Tarnwick 2000 Accounts|*.twx|All Files|*.*|"},
    {1034, u"twx"},
    {1037, u"\rThe Toolbar ribbon style you have selected will\rbe used the next time you start "
           u"Tarnwick.\r\rUse the View | Customize menu command to add\ror remove individual "
           u"toolbar ribbon buttons."},

    // Toolbar button texts and tooltips (command id + 1000).
    {1130, u"Accounts"},
    {1133, u"Options"},
    {1222, u"Edit"},
    {1399, u"Topmost"},
    {1430, u"Font"},
    {1454, u"Connect"},
    {1455, u"Disconnect"},
    {1457, u"Re-Connect"},
    {1551, u"Refresh"},
    {1552, u"Transfer (Upload)"},
    {1553, u"Delete"},
    {1554, u"Rename"},
    {1555, u"Properties"},
    {1556, u"Make Directory"},
    {1561, u"Refresh"},
    {1562, u"Transfer (Download)"},
    {1563, u"Delete"},
    {1564, u"Rename"},
    {1565, u"Properties"},
    {1566, u"Make Directory"},
    {1901, u"Help"},
    {1999, u"About"},

    // Make Directory, Rename and Delete, both panes.
    {3100, u" Make Local Directory"},
    {3101, u" Make Remote Directory"},
    {3102, u"\rMissing directory name.\r\rPlease specify a name for the directory to be created."},
    {3103, u"\rInvalid character in directory name.\r\rDirectory names can not contain: %s"},
    {3104, u"\rError detected creating new directory.\r\rERROR: %s"},
    {3105, u" Rename Local File"},
    {3106, u" Rename Remote File"},
    {3107, u"\rMissing file name.\r\rPlease specify a new name for the file to be changed."},
    {3108, u"\rInvalid character in file name.\r\rFile names can not contain: %s"},
    {3109, u"\rError detected renaming file.\r\rERROR: %s"},
    {3110, u" Delete Local File"},
    {3111, u" Delete Local Folder"},
    {3112, u" Delete Remote File"},
    {3113, u" Delete Remote Folder"},
    {3114, u"File"},
    {3115, u"Folder"},
    {3116, u"Are you sure you want to delete this file?"},
    {3117, u"Are you sure you want to delete this folder?"},
    {3118, u"\rError detected removing file.\r\rFile: %s\r\rERROR: %s"},
    {3119, u"\rError detected removing directory.\r\rFolder: %s\r\rERROR: %s"},

    // Accounts sheet folder browser; file types page and Edit File Type dialog.
    {3200, u"Select a starting Local Folder"},
    {3201, u" Edit File Type"},
    {3202, u" Create a New File Type"},
    {3203, u" Remove File Type"},
    {3204, u"\rFile Type:  %s\rCommand: %s\r\rThere is no undo for the Remove command.\rAre you "
           u"sure you want to delete this file type?"},
    {3205, u"\rInvalid File Type\r\rPlease specify a file extension (with a leading "
           u"period)\rfor this type of file.\r\rExamples: '.html', '.txt', '.gif' or '.c'"},
    {3206, u"\rProgram Name Missing\r\rPlease specify the program to be opened when this file "
           u"type is selected, or use the browse button to the right of the entry field to "
           u"select one using the file browser."},
    {3207, u"\rDefault Editor Missing\r\rPlease specify the program to be used as the default "
           u"editor, or use the browse button to the right of the entry field to select one "
           u"using the file browser."},

    // Accounts sheet.
    {3300, u"Account Login"},
    {3301, u"\rAccount Name Missing\r\rPlease specify a name for this FTP Account."},
    {3302, u"\rAccount URL Missing\r\rPlease specify a URL address for this FTP Account."},
    {3303, u"\rAccount IP Address Missing\r\rPlease specify an IP address for this FTP Account."},
    {3304, u"\rAccount Login Name Missing\r\rPlease specify a login name for this FTP Account."},
    {3305, u"\rAccount Password Missing\r\rPlease specify a password for this FTP Account."},
    {3306, u"\rAccount: %s\r\rThere is no undo for the Delete command.\rAre you sure you want "
           u"to remove this account?"},
    {3307, u"Visits: %u"},
    {3308, u"OK"},
    {3309, u"Connect"},
    {3320, u" Connect"},
    {3321, u" Accounts"},

    // Disconnect confirmation.
    {3400, u"Disconnect"},
    {3401, u"\rFTP Site: %s\rAddress:  %s\r\rAre you sure you want to disconnect from this "
           u"site?"},

    // Sounds page.
    {3500, u"Warning Sounds"},
    {3501, u"\rSound File Missing\r\rPlease specify the sound file to be played for \r%s Status "
           u"Alerts.\r\rYou may also reduce the Alert Level to Simple Beeps\rif you do not want "
           u"to use sound files."},

    // Change Directory folder browser.
    {3600, u"Select the local folder to be listed"},

    // Newer-destination question.
    {3651, u"Are you sure you want to upload it?"},
    {3652, u"Are you sure you want to download it?"},
    {3653, u"Local File: %s"},
    {3654, u"Remote File: %s"},
    {3660, u" Local Destination File is Newer"},
    {3661, u" Remote Destination File is Newer"},
    {3662, u"%I64u Bytes - %s"},

    // Path joins and pane texts. Local paths use '/': 3700 is the quoted parameter handed to
    // an editor (folder/name), 3702 joins a local folder and a name, 3705 turns a mounted
    // volume's row name into its folder. Remote paths always join with '/' (3704).
    {3700, u"\"%s/%s\""},
    {3701, u"%s%s"},
    {3702, u"%s/%s"},
    {3704, u"%s/%s"},
    {3705, u"%s/"},
    {3706, u"%u"},
    {3707, u"* %s"},
    {3708, u"%s *"},
    {3709, u"%s (%u Bytes)"},

    // Remote permissions (SITE CHMOD): the dialog's caption, its refusals, the run's progress,
    // log lines and end.
    {3760, u" Permissions"},
    {3761, u"\rError detected changing permissions.\r\rFile: %s\r\rERROR: %s"},
    {3762, u"The listing shows no permissions for it: set every box."},
    {3763, u"SITE CHMOD %s %s"},
    {3764, u"Reading %s ..."},
    {3765, u"%I64u of %I64u: %s"},
    {3766, u"Permissions changed: %I64u of %I64u item%s"},
    {3767, u"Error: %s: %s"},
    {3768, u"Permissions stopped"},
    {3769, u"\rThe permissions of %I64u item%s could not be changed.\r\r%s"},
    {3770, u"... and %I64u more"},
    {3771, u"Permissions are still being changed in the folders chosen before."},
    {3772, u"%d items"},

    // Destination file name prompt.
    {3800, u" Destination File Name"},
    {3801, u"\rMissing File Name.\r\rPlease specify a name for the file to be transferred."},
    {3802, u"\rInvalid Character in File Name.\r\rFile names can not contain: %s"},

    // Import.
    {3900, u" Import Tarnwick 2000 Accounts"},
    {3901, u"\rImporting saved Tarnwick 2000 accounts and file types will overwrite any existing "
           u"account definitions and settings currently in use.\r\rAre you sure you want to "
           u"import new account definitions and file types at this time?"},
    {3902, u"File: %s\r\rThe Tarnwick 2000 export file you have specified may be corrupt. The "
           u"application file data signature is missing or incorrect.\r\rAccount definition "
           u"imports have been canceled."},

    // Transfer status lines. Sizes and speeds are 64-bit (%I64u), so files over 4 GiB show true
    // figures.
    {4000, u"Transfer: %s - opening/creating remote file"},
    {4001, u"Transfer: %s - %I64u of %I64u bytes sent ..."},
    {4002, u"Transfer: %s - opening remote file"},
    {4003, u"Transfer: %s - %I64u of %I64u bytes received ..."},

    // Move.
    {4100, u" Move File"},
    {4101, u"Select a destination folder for the items to be moved."},
    {4102, u"File: %s\r\rError detected moving file.\r\rERROR: %s"},

    // Message log lines.
    {4400, u"Connecting ..."},
    {4401, u"Connected to %s on Port %d"},
    {4402, u"Re-Connecting ..."},
    {4403, u"Re-Connected to %s on Port %d"},
    {4404, u"Disconnecting ..."},
    {4405, u"Connection closed"},
    {4406, u"Current Local Directory is %s"},
    {4407, u"Current Remote Directory is %s"},
    {4408, u"LIST %s ..."},
    {4409, u"%d item%s listed"},
    {4410, u"PUT: %s ..."},
    {4411, u"GET: %s ..."},
    {4412, u"%s transferred (%s bytes) %s"},
    {4413, u"%d file%s transfered"},
    // The transfer log line: time, source folder and name, destination folder and name, each
    // path joined with '/' (a folder is passed without its trailing '/').
    {4414, u"%s - %s/%s => %s/%s"},
    {4415, u"Error: %s (%d) %s"},
    {4416, u"%s %s"},
    {4417, u"Passive Mode (%s)"},
    {4418, u"AS: %s ..."},
    {4419, u"Speed: %I64u second%s (%I64u bytes/second)"},
    {4420, u"Speed: %I64u minute%s, %I64u second%s (%I64u bytes/second)"},
    {4421, u"Speed: %I64u hour%s, %I64u minute%s, %I64u second%s (%I64u bytes/second)"},
    // Stopping a transfer, names that cannot be used locally, partial uploads.
    {4422, u"Transfer stopped"},
    {4423, u"Error: \"%s\" cannot be used as a local file name (skipped)"},
    {4424, u"A partial file was left on the server: %s %s"},
    // A session the server or the network ended, a stopped listing or connect, and the
    // engine's notes on the data connection.
    {4425, u"The connection to the server was lost: choose Re-Connect to connect again"},
    {4426, u"Listing stopped"},
    {4427, u"Connect stopped"},
    {4428, u"Note: %s"},
    // The protocol version and cipher of an encrypted connection.
    {4429, u"Encrypted connection: %s, %s"},
    // An upload goes to a hidden temporary name and is renamed over the destination at its
    // end; a server that renames onto no existing name gets the old file deleted first.
    {4440, u"The server does not rename onto an existing file: %s was deleted first"},
    {4441, u"The uploaded file was kept on the server as %s"},
    // Where the transfer log viewer's Print wrote its page.
    {4442, u"Transfer log page written: %s"},

    // Names of the failing calls in error reports.
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
    {4523, u"FindFirstFile"},    // the local folder search (an unreadable or vanished folder)
    {4524, u"InternetReadFile"}, // a download that failed while or after its data arrived
    {4525, u"ReadFile"},         // an upload whose local file could not be read
    {4526, u"FtpFindFirstFile"}, // the remote folder search (a refused or broken listing)
    {4527, u"FtpCommand"},       // a SITE command (CHMOD) the server refused

    // Extension lists of the pane icon classes 3 to 9, searched as plain substrings.
    {4600, u".txt.c.cpp.bas.ini.log.rc.cpp.h.pch.doc.def.dlg.pdf.uni.reg.mak.twx,for.pas.rtf"},
    {4601, u".exe.com.dll.sys.bat.pif.cgi.lnk"},
    {4602, u".zip.z.gz.tz.taz.tgz.lzh.arj.arc.tar.cab.wmz.yfs.wsz.uu.xxe.bhx.b64.hqx.mim"},
    {4603, u".gif.bmp.jpg.ico.tiff.jpeg.png"},
    {4604, u".htm.html.shtml.xml.plg.aps"},
    {4605, u".obj.lib.res.idb.dat"},
    {4606, u".wav.mid.midi.mov.mp3.avi.rmi.asx.mpg.mpeg.mpe.mpa.wmv.asf.qt.pk.wma.wvv.aiff.au"},

    // Why a command was refused (status line), the remote pane's label without a current
    // listing, and a refused login.
    {4700, u"Not available while the connection is busy"},
    {4701, u"Not available while connected"},
    {4702, u"Not available without a connection"},
    {4703, u"Not available for the selected rows"},
    {4704, u"Not available: nothing is running"},
    {4705, u"Not available now"},
    {4706, u"Remote: not connected"},
    {4707, u"Remote: %s (connection lost)"},
    {4708, u"\rLogin refused by %s\r\r%s"},

    // The transfer queue: why its file could not be used (the queue then starts empty), and
    // the queue pane's name, column labels, row texts and commands.
    {4800, u"The transfer queue %s could not be read (%s). It was kept as %s; the queue starts "
           u"empty."},
    {4801, u"The transfer queue %s cannot be written. The queue starts empty and is kept only "
           u"until the program ends."},
    {4802, u"The transfer queue %s was written by a newer version of Tarnwick 2000. The queue "
           u"starts empty and is kept only until the program ends."},
    {4803, u"The transfer queue %s could not be opened (%s). The queue starts empty and is kept "
           u"only until the program ends."},
    {4810, u"Transfer Queue"},
    {4811, u"Direction"},
    {4812, u"Local File"},
    {4813, u"Remote File"},
    {4814, u"Size"},
    {4815, u"Progress"},
    {4816, u"Speed"},
    {4817, u"State"},
    {4820, u"Download"},
    {4821, u"Upload"},
    {4822, u"Queued"},
    {4823, u"Running"},
    {4824, u"Done"},
    {4825, u"Failed"},
    {4826, u"Failed: %s"},
    {4827, u"Stopped"},
    {4828, u"Skipped"},
    {4829, u"Skipped: %s"},
    {4830, u"%d %%"},
    {4831, u"%u B/s"},
    {4832, u"%.1f KB/s"},
    {4833, u"%.1f MB/s"},
    {4834, u"%.1f GB/s"},
    {4835, u"Download %s to %s, %s, %s"},
    {4836, u"Upload %s to %s, %s, %s"},
    {4840, u"&Stop"},
    {4841, u"Start &Again"},
    {4842, u"&Retry Failed"},
    {4843, u"Re&move\tDel"},
    {4844, u"&Clear Finished"},
    {4845, u"Move &Up\tCtrl+Up"},
    {4846, u"Move &Down\tCtrl+Down"},

    // A folder deleted with everything in it.
    {4900, u"Delete '%s' with %I64u file%s in %I64u folder%s?"},
    {4901, u"Could not delete %s: %s"},
    {4902, u"Delete stopped"},
    {4903, u"Deleting %s ..."},
    {4904, u"%I64u file%s and %I64u folder%s deleted"},

    // The transfer queue.
    {4921, u"Skipped: %s (%s)"},
    {4922, u"Error: %s was not copied: %s"},
    {4923, u"File %I64d of %I64d: %s of %s, %s/s, %s left"},

    // Remote files edited in place: questions, refusals, log lines and the states the Edited
    // Files list shows (4950 + the state).
    {4940, u" Edit Remote File"},
    {4941, u"\rOnly a file can be edited.\r\r%s is a folder."},
    {4942, u"\rThe name %s cannot be used for a local copy."},
    {4943, u"\rNo copy of %s could be made.\r\r%s"},
    {4944, u"%s could not be opened for editing: %s"},
    {4945, u"\r%s was changed on the server since it was opened.\r\rOverwrite it with the "
           u"edited copy?"},
    {4946, u"\r%s is no longer on the server.\r\rUpload the edited copy as a new file?"},
    {4947, u"\r%s has changes that were not uploaded.\r\rEnd editing and delete the copy "
           u"anyway?"},
    {4948, u"\rConnect to %s again to upload %s."},
    {4949, u"Editing ended: %s"},
    {4950, u"Downloading"},
    {4951, u"Unchanged"},
    {4952, u"Changed"},
    {4953, u"Uploading"},
    {4954, u"Uploaded"},
    {4955, u"Failed"},

    // The quick connect bar: what is wrong with its fields, the names of the fields, its labels.
    {5100, u"Type a host name or an ftp://, ftps://, ftpes:// or sftp:// address to connect to."},
    {5101, u"The port %s is not a number from 1 to 65535."},
    {5102, u"The %s contains a control character."},
    {5104, u"%s addresses are not supported: use ftp://, ftps://, ftpes:// or sftp://."},
    {5105, u"The address %s cannot be read: %s."},
    {5106, u"The %s is longer than %s characters."},
    {5107, u"The account table is full: delete an account before saving another."},
    {5110, u"host name"},
    {5111, u"user name"},
    {5112, u"password"},
    {5113, u"start folder"},
    {5120, u"H&ost:"},
    {5121, u"&User:"},
    {5122, u"Pass&word:"},
    {5123, u"Por&t:"},
    {5124, u"Co&nnect"},
    {5125, u"Save as &account..."},
    {5126, u"Quick Connect"},

    // Drag and drop.
    {5200, u"Not connected. Connect to a server before dropping files on the remote pane."},
    {5201, u"Only local files can be dropped here; this is not one:\r\r%s"},
    {5202, u"'%s' cannot be copied into itself or into one of its folders."},
    {5203, u"Copying %I64d item%s into %s ..."},
    {5204, u"%I64d file%s copied into %s"},
    {5205, u"the name exists already"},
    {5207, u"A copy into a local folder is still running. Drop again when it has ended."},
    {5208, u" Copy Files"},
    {5209, u"%I64d file(s) copied, %I64d skipped because the name exists already, %I64d not "
           u"copied.\r\rThe message log lists each of them."},

    // A local delete to the desktop's Trash.
    {5300, u" Move Local File to Trash"},
    {5301, u" Move Local Folder to Trash"},
    {5302, u"Are you sure you want to move this file to the Trash?"},
    {5303, u"Are you sure you want to move this folder to the Trash?"},
    {5304, u"'%s' cannot be moved to the Trash.\r\rDelete it for good? It cannot be restored."},
    {5305, u"Moved to the Trash: %s"},
    {5306, u"The Trash cannot take %s"},
    {5307, u"It can be restored from the Trash."},

    // The panes' path boxes, filter boxes and folder bookmarks.
    {5400, u"The folder name %s contains a control character: it is not entered."},
    {5401, u"Connect to a server to go to a remote folder."},
    {5402, u"No names match"},
    {5403, u"Bookmark added: %s"},
    {5404, u"%s is a bookmark already."},
    {5405, u"An account keeps at most %d bookmarks: remove one first."},
    {5406, u"Connect with a saved account to keep its folders as bookmarks."},

    // SFTP over SSH: the title, the log's lines, host keys and passphrases.
    {5500, u"Tarnwick 2000 - %s (SFTP)"},
    {5501, u"Secure connection: SFTP over SSH"},
    {5502, u"chmod %s %s"},
    {5503, u"SftpSetStat"},
    {5504, u"Host Key Changed"},
    {5505, u"WARNING: the host key of %s has changed.\r\rThis may be an attack: someone may be "
           u"intercepting the connection. Or the server's key was replaced.\r\rKnown key: "
           u"%s\rNew key: %s %s\r\rIf the key was replaced, remove its old line from "
           u"%s.\r\rNo connection was made."},
    {5506, u"Host key %s trusted until the program ends"},
    {5507, u"Host key %s added to %s"},
    {5508, u"READDIR %s ..."},

    // Saved passwords: the desktop keyring, the master-password file, or not saved.
    {5700, u"Saved passwords are kept in the desktop keyring."},
    {5701, u"Saved passwords are kept in the master password file."},
    {5702, u"Passwords are not saved: each is asked at connect."},
    {5703, u"Saved passwords moved from the settings file to %s: %d."},
    {5704, u"The password of %s could not be kept: %s"},
    {5705, u"Saved Passwords"},
    {5706, u"These passwords could not be kept in %s:\r\r%s\r\rThey stay where they were "
           u"and are tried again at the next start; nothing was lost."},
    {5707, u"the desktop keyring"},
    {5708, u"the master password file"},
    {5709, u"The saved password of %s could not be read: %s"},
    {5710, u"Wrong master password: no saved password was read."},
    {5711, u"No password store was chosen: passwords typed in this run are kept until it ends."},
    {5712, u"Connect cancelled: no password was given."},
    {5713, u"No password for this account is in %s."},
    {5714, u"The desktop keyring is not available: %s"},
    {5715, u"The desktop keyring stayed locked."},
    {5716, u"The saved password is damaged and cannot be read."},
    {5717, u"The master password was not given."},
    {5718, u"Passwords are not saved (Options, Passwords)."},
    {5719, u"A password could not be removed from %s: %s"},
    {5720, u"Master password changed."},
    {5721, u"The master password file cannot be read; it is left as it is. %s"},
    {5722, u"The master password was not changed: %s"},
    {5723, u"The saved passwords of these accounts could not be read, and are not in the "
           u"export file:\r\r%s"},

    // Compare Folders: the summary line, the server clock's question, the rows' descriptions.
    {5800, u"Compared: %s"},
    {5801, u"%d only here"},
    {5802, u"%d only on the server"},
    {5803, u"%d newer here"},
    {5804, u"%d newer on the server"},
    {5805, u"%d of another size"},
    {5806, u"%d a file on one side and a folder on the other"},
    {5807, u"Compared: the two folders are in step"},
    {5808, u"Every file in both folders differs by exactly %d hour%s."},
    {5809, u"Compare Folders"},
    {5810, u"Every file in both folders differs by exactly %d hour%s. Treat the server's times "
           u"as %d hour%s ahead for this account?"},
    {5811, u"Every file in both folders differs by exactly %d hour%s. Treat the server's times "
           u"as %d hour%s behind for this account?"},
    {5812, u"Time offset of %s: %d seconds"},
    {5813, u"this connection"},
    {5814, u"Only in this folder"},
    {5815, u"Newer than the other side"},
    {5816, u"Older than the other side"},
    {5817, u"Size differs from the other side"},
    {5818, u"A file on one side, a folder on the other"},
    {5819, u"Compare Folders ended with the connection"},

    // Path labels above the two panes.
    {9002, u"Local: %s"},
    {9004, u"Remote: %s"},
};
} // namespace

std::span<const StringEntry> ProgramStrings() {
    return kProgram;
}

} // namespace tw::strings
