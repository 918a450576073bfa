#include "dispatch_call.h"

#include "error_information.h"

namespace {

constexpr LCID kNeutralLocale = 0;

SpreadsheetAutomation::Failure invoke(IDispatch* target, DISPID member, WORD flags,
                                      DISPPARAMS& parameters, VARIANT* result) {
    EXCEPINFO exception = {};
    UINT argumentError = 0;
    const HRESULT outcome = target->Invoke(member, IID_NULL, kNeutralLocale, flags, &parameters,
                                           result, &exception, &argumentError);
    if (FAILED(outcome)) {
        return dispatchCallError(outcome, exception);
    }
    return std::nullopt;
}

}  // namespace

SpreadsheetAutomation::Failure invokeForObject(IDispatch* target, DISPID member, WORD flags,
                                               VARIANT* reversedArguments, UINT argumentCount,
                                               ComRef<IDispatch>& object) {
    DISPPARAMS parameters = {reversedArguments, nullptr, argumentCount, 0};
    VariantHolder result;
    if (auto failure = invoke(target, member, flags, parameters, result.get())) {
        return failure;
    }
    if (V_VT(result.get()) != VT_DISPATCH) {
        const HRESULT coercion = VariantChangeType(result.get(), result.get(), 0, VT_DISPATCH);
        if (FAILED(coercion)) {
            return AutomationError{static_cast<std::uint32_t>(coercion), {}, {}};
        }
    }
    // The reference moves from the VARIANT to the caller.
    *object.receive() = V_DISPATCH(result.get());
    V_VT(result.get()) = VT_EMPTY;
    return std::nullopt;
}

SpreadsheetAutomation::Failure invokePropertyPut(IDispatch* target, DISPID member, VARIANT& value) {
    DISPID namedArgument = DISPID_PROPERTYPUT;
    DISPPARAMS parameters = {&value, &namedArgument, 1, 1};
    return invoke(target, member, DISPATCH_PROPERTYPUT, parameters, nullptr);
}
