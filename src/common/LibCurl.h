#pragma once
// libcurl, opened on first use. Linked to the program, it and the 17 TLS, LDAP, SSH and
// IDN libraries behind it were loaded and relocated before main at every start; the
// update check, the report and the radio now open it on their own threads when they
// first connect.
#include <curl/curl.h>

#include <QString>

// The functions the program calls, named without the prefix, so that curl.h's
// type-checking macros of the same names stay out of the way.
#define TARNEL_CURL_FUNCTIONS(X)                                                                   \
    X(easy_init) X(easy_setopt) X(easy_perform) X(easy_getinfo) X(easy_cleanup) X(easy_strerror)    \
    X(slist_append) X(slist_free_all)

struct LibCurl {
#define TARNEL_CURL_MEMBER(name) decltype(&::curl_##name) name = nullptr;
    TARNEL_CURL_FUNCTIONS(TARNEL_CURL_MEMBER)
#undef TARNEL_CURL_MEMBER

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
