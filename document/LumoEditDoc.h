// SPDX-License-Identifier: MIT
// The document: moves the entry list between an entry file and the entry
// tree of its view. It holds no entries of its own.
#pragma once

#include "platform/Document.h"

class ClumoEditView;
class CTreeCtrl;

class ClumoEditDoc : public CDocument {
public:
    static const CRuntimeClass classClumoEditDoc;
    const CRuntimeClass* GetRuntimeClass() const override { return &classClumoEditDoc; }

    bool OnNewDocument() override;
    void Serialize(CArchive& ar) override;

private:
    ClumoEditView* GetView() const;
    void Store(CArchive& ar, ClumoEditView& view);
    void Load(CArchive& ar, ClumoEditView& view);
    static void CheckTextLengths(const CTreeCtrl& tree);
};
