#pragma once
// libcurl, opened on first use. Linked to the program, it and the 17 TLS, LDAP, SSH and
// IDN libraries behind it were loaded and relocated before main at every start; the
// update check, the report and the radio now open it on their own threads when they
// first connect.
#include <curl/curl.h>

#include <QString>

// The functions the program calls (named without the prefix, so that curl.h's
// type-checking macros of the same names stay out of the way).
struct LibCurl {
    decltype(&::curl_easy_init) easy_init = nullptr;
    decltype(&::curl_easy_setopt) easy_setopt = nullptr;
    decltype(&::curl_easy_perform) easy_perform = nullptr;
    decltype(&::curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&::curl_easy_strerror) easy_strerror = nullptr;
    decltype(&::curl_slist_append) slist_append = nullptr;
    decltype(&::curl_slist_free_all) slist_free_all = nullptr;

    // Headers, body and progress of a transfer to three callbacks, each handed data.
    void setCallbacks(CURL *curl, curl_write_callback header, curl_write_callback body,
                      curl_xferinfo_callback progress, void *data) const
    {
        easy_setopt(curl, CURLOPT_HEADERFUNCTION, header);
        easy_setopt(curl, CURLOPT_HEADERDATA, data);
        easy_setopt(curl, CURLOPT_WRITEFUNCTION, body);
        easy_setopt(curl, CURLOPT_WRITEDATA, data);
        easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, progress);
        easy_setopt(curl, CURLOPT_XFERINFODATA, data);
        easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    }
};

// libcurl with curl_global_init done, opened once (from any thread); null with *error
// set when the library or a function is missing or the initialisation failed.
const LibCurl *libCurl(QString *error);
