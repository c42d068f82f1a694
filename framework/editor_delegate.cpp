#include "framework/editor_delegate.h"

#include "framework/iparam.h"

namespace plugfw
{

IEditorDelegate::IEditorDelegate(int nParams)
{
    mParams.reserve(static_cast<size_t>(nParams > 0 ? nParams : 0));
    for (int i = 0; i < nParams; ++i)
        mParams.push_back(std::make_unique<IParam>());
}

IEditorDelegate::~IEditorDelegate() = default;

IParam* IEditorDelegate::GetParam(int paramIdx) const
{
    if (paramIdx < 0 || paramIdx >= NParams())
        return nullptr;
    return mParams[static_cast<size_t>(paramIdx)].get();
}

void IEditorDelegate::SendAllParamValuesToPage()
{
    for (int i = 0; i < NParams(); ++i)
        SendParamValueToPage(i, mParams[static_cast<size_t>(i)]->Normalised(), true);
}

} // namespace plugfw
