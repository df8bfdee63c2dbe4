// SPDX-License-Identifier: MIT
// Failures inside the framework are exceptions; the framework's open and save
// code turns each into one message naming the file and what went wrong.
#pragma once

#include "AfxTypes.h"

#include <exception>

class CException : public std::exception {
public:
    // What went wrong, as a phrase that can follow "Cannot open <file>: ".
    virtual CString GetErrorMessage() const = 0;
    const char* what() const noexcept override { return "lumoEdit framework exception"; }
};

class CMemoryException : public CException {
public:
    CString GetErrorMessage() const override { return "there is not enough memory"; }
};

class CFileException : public CException {
public:
    enum Cause {
        none,
        generic,
        fileNotFound,
        badPath,
        accessDenied,
        isDirectory,
        readOnly,
        diskFull,
        endOfFile,
        changedWhileRead,
        linkLoop,     // links that lead back to themselves
        unsafeLink,   // another user's link in a shared sticky folder
    };
    CFileException(Cause cause, int nOsError, CString strFileName);
    CString GetErrorMessage() const override;

    Cause m_cause;
    int m_lOsError;  // errno, or 0
    CString m_strFileName;

    // The cause that fits an errno value.
    static Cause OsErrorToCause(int nOsError);
    [[noreturn]] static void ThrowOsError(int nOsError, const CString& strFileName);
};

class CArchiveException : public CException {
public:
    enum Cause { none, badFormat, endOfFile, inconsistent };
    CArchiveException(Cause cause, CString strMessage) : m_cause(cause), m_strMessage(std::move(strMessage)) {}
    CString GetErrorMessage() const override { return m_strMessage; }

    Cause m_cause;
    CString m_strMessage;
};

// The reason a failure gives, as a phrase for a message.
CString AfxDescribeException(const std::exception& e);
