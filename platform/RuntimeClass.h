// SPDX-License-Identifier: MIT
// Run-time class information with dynamic creation, so a document template
// can create the document, frame and view from their classes.
#pragma once

#include <cstring>

class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    CObject* (*m_pfnCreateObject)();  // null when the class is not dynamically creatable
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const { return m_pfnCreateObject ? m_pfnCreateObject() : nullptr; }
    bool IsDerivedFrom(const CRuntimeClass* pBase) const
    {
        for (const CRuntimeClass* p = this; p; p = p->m_pBaseClass)
            if (p == pBase)
                return true;
        return false;
    }
};

class CObject {
public:
    virtual ~CObject() = default;
    static const CRuntimeClass classCObject;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }
};

inline const CRuntimeClass CObject::classCObject{"CObject", nullptr, nullptr};

// The creation function of a dynamically creatable class.
template <class T>
CObject* CreateObjectOf()
{
    return new T;
}

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)
