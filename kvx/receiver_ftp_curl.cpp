// The settings folder over FTP with libcurl: one handle for the whole session, so that every step
// after the first uses the connection and login already made.
#include <algorithm>
#include <string>

#include "kvx/receiver_curl.h"
#include "kvx/receiver_ftp.h"
#include "lists/report_text.h"

struct FtpFolder {
    const CurlCalls* curl = nullptr;
    CURL* handle = nullptr;
    CURLM* multi = nullptr;
    std::string base;    // the folder's URL, ending in '/'
    std::string folder;  // as the box names it
    std::string host;
    std::string user;
    std::string password;
    char error[CURL_ERROR_SIZE] = {};
};

namespace {

// A request for url, with the session's login and limits.
void prepare(FtpFolder& folder, const std::string& url) {
    const CurlCalls& curl = *folder.curl;
    curl.easyReset(folder.handle);
    folder.error[0] = '\0';
    setReceiverLimits(curl, folder.handle, "ftp", folder.error);
    curl.easySetopt(folder.handle, CURLOPT_URL, url.c_str());
    // One CWD to the whole folder, as the box names it from its root.
    curl.easySetopt(folder.handle, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    if (!folder.user.empty()) {
        curl.easySetopt(folder.handle, CURLOPT_USERNAME, folder.user.c_str());
        curl.easySetopt(folder.handle, CURLOPT_PASSWORD, folder.password.c_str());
    }
}

long replyCode(FtpFolder& folder) {
    long code = 0;
    folder.curl->easyGetinfo(folder.handle, CURLINFO_RESPONSE_CODE, &code);
    return code;
}

std::string failure(FtpFolder& folder, CURLcode result, std::string_view doing) {
    const long reply = replyCode(folder);
    std::string why(doing);
    why += ": ";
    switch (result) {
        case CURLE_COULDNT_RESOLVE_HOST: why += "cannot find the host " + folder.host; break;
        case CURLE_COULDNT_CONNECT: why += "no answer (nothing listens there, or the box is off)"; break;
        case CURLE_OPERATION_TIMEDOUT: why += "no answer within the time limit (10 s to connect, 30 s a reply)"; break;
        case CURLE_LOGIN_DENIED:
            why += folder.user.empty() ? "login refused (no user named: name one, as ftp://root@box/...)"
                                       : "login refused for " + folder.user + " (wrong password?)";
            break;
        case CURLE_REMOTE_ACCESS_DENIED:
            why += "folder " + folder.folder + " missing, or not open to this login";
            break;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT: why += "answers as no FTP server does"; break;
        case CURLE_UPLOAD_FAILED:
        case CURLE_QUOTE_ERROR:
            why += reply == 550 || reply == 553 || reply == 532 || reply == 450 ? "permission denied" : "refused";
            break;
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE: why += "the connection failed"; break;
        default: why += folder.curl->easyStrerror(result); break;
    }
    if (reply > 0) why += " (FTP reply " + std::to_string(reply) + ")";
    if (folder.error[0] != '\0') {
        why += " [";
        appendPrintable(why, folder.error, false);
        why += "]";
    }
    return why;
}

std::string escaped(FtpFolder& folder, std::string_view text) {
    char* escapedText = folder.curl->easyEscape(folder.handle, text.data(), static_cast<int>(text.size()));
    std::string out = escapedText != nullptr ? escapedText : "";
    folder.curl->free(escapedText);
    return out;
}

struct Sink {
    std::string* bytes;
    bool tooLarge;
};

std::size_t keep(char* data, std::size_t size, std::size_t count, void* user) {
    Sink& sink = *static_cast<Sink*>(user);
    if (sink.bytes->size() + size * count > FtpMaxFile) {
        sink.tooLarge = true;
        return 0;
    }
    sink.bytes->append(data, size * count);
    return size * count;
}

std::size_t give(char* buffer, std::size_t size, std::size_t count, void* user) {
    std::string_view& rest = *static_cast<std::string_view*>(user);
    const std::size_t given = std::min(size * count, rest.size());
    rest.copy(buffer, given);
    rest.remove_prefix(given);
    return given;
}

// Raw FTP commands on the folder's files (RNFR, RNTO, DELE), by their paths from the box's root.
bool quote(FtpFolder& folder, std::initializer_list<std::string> commands, std::string_view doing, std::string& why) {
    const CurlCalls& curl = *folder.curl;
    prepare(folder, folder.base);
    curl.easySetopt(folder.handle, CURLOPT_NOBODY, 1L);
    curl_slist* list = nullptr;
    for (const std::string& command : commands) list = curl.slistAppend(list, command.c_str());
    curl.easySetopt(folder.handle, CURLOPT_QUOTE, list);
    const CURLcode result = curlPerform(curl, folder.multi, folder.handle);
    curl.slistFreeAll(list);
    if (result == CURLE_OK) return true;
    why = failure(folder, result, doing);
    return false;
}

std::string pathOf(const FtpFolder& folder, std::string_view name) {
    return folder.folder + (folder.folder.ends_with('/') ? "" : "/") + std::string(name);
}

}  // namespace

void ftpClose(FtpFolder* folder) {
    if (folder == nullptr) return;
    if (folder->handle != nullptr) folder->curl->easyCleanup(folder->handle);
    if (folder->multi != nullptr) folder->curl->multiCleanup(folder->multi);
    delete folder;
}

bool ftpOpen(const ReceiverAddress& address, const std::string& password, FtpFolderHandle& handle, std::string& why) {
    const CurlCalls* curl = curlCalls(why);
    if (curl == nullptr) return false;
    FtpFolderHandle folder(new FtpFolder);
    folder->curl = curl;
    folder->handle = curl->easyInit();
    folder->multi = curl->multiInit();
    if (folder->handle == nullptr || folder->multi == nullptr) {
        why = "libcurl did not start a session";
        return false;
    }
    folder->folder = address.path;
    folder->host = address.host;
    folder->user = address.user;
    folder->password = password;
    // The folder from the box's root: its first '/' written as %2F, so that the path is not taken
    // from the login's home folder.
    folder->base = "ftp://" + (address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host) +
                   ":" + std::to_string(address.port) + "/%2F";
    for (std::size_t at = 1; at < address.path.size();) {
        const std::size_t end = std::min(address.path.find('/', at), address.path.size());
        if (end > at) folder->base += escaped(*folder, std::string_view(address.path).substr(at, end - at)) + "/";
        at = end + 1;
    }
    prepare(*folder, folder->base);
    curl->easySetopt(folder->handle, CURLOPT_NOBODY, 1L);
    const CURLcode result = curlPerform(*curl, folder->multi, folder->handle);
    if (result != CURLE_OK) {
        why = failure(*folder, result, "opening the folder");
        return false;
    }
    handle = std::move(folder);
    return true;
}

FtpFetch ftpFetch(FtpFolder& folder, std::string_view name, std::string& bytes, std::string& why) {
    const CurlCalls& curl = *folder.curl;
    bytes.clear();
    prepare(folder, folder.base + escaped(folder, name));
    Sink sink{&bytes, false};
    curl.easySetopt(folder.handle, CURLOPT_WRITEFUNCTION, keep);
    curl.easySetopt(folder.handle, CURLOPT_WRITEDATA, &sink);
    curl.easySetopt(folder.handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(FtpMaxFile));
    const CURLcode result = curlPerform(curl, folder.multi, folder.handle);
    if (result == CURLE_OK) return FtpFetch::Fetched;
    bytes.clear();
    if (sink.tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        why = std::string(name) + ": larger than " + std::to_string(FtpMaxFile / (std::size_t{1024} * 1024)) +
              " MB, more than any settings file";
        return FtpFetch::Failed;
    }
    if ((result == CURLE_REMOTE_FILE_NOT_FOUND || result == CURLE_FTP_COULDNT_RETR_FILE) && replyCode(folder) == 550)
        return FtpFetch::Missing;
    why = failure(folder, result, "fetching " + std::string(name));
    return FtpFetch::Failed;
}

bool ftpStore(FtpFolder& folder, std::string_view name, std::string_view bytes, std::string& why) {
    const CurlCalls& curl = *folder.curl;
    prepare(folder, folder.base + escaped(folder, name));
    std::string_view rest = bytes;
    curl.easySetopt(folder.handle, CURLOPT_UPLOAD, 1L);
    curl.easySetopt(folder.handle, CURLOPT_READFUNCTION, give);
    curl.easySetopt(folder.handle, CURLOPT_READDATA, &rest);
    curl.easySetopt(folder.handle, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(bytes.size()));
    const CURLcode result = curlPerform(curl, folder.multi, folder.handle);
    if (result == CURLE_OK) return true;
    why = failure(folder, result, "storing " + std::string(name));
    return false;
}

bool ftpRename(FtpFolder& folder, std::string_view from, std::string_view to, std::string& why) {
    return quote(folder, {"RNFR " + pathOf(folder, from), "RNTO " + pathOf(folder, to)},
                 "putting " + std::string(to) + " in place", why);
}

bool ftpRemove(FtpFolder& folder, std::string_view name, std::string& why) {
    return quote(folder, {"DELE " + pathOf(folder, name)}, "removing " + std::string(name), why);
}
