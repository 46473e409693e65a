#include "engine/effect_variables.h"

#include "engine/engine_log.h"

namespace {

ID3D10EffectVariable* variable(ID3D10Effect* effect, const char* name) {
    if (!effect) return nullptr;
    ID3D10EffectVariable* v = effect->GetVariableByName(name);
    return v && v->IsValid() ? v : nullptr;
}

ID3D10EffectScalarVariable* scalar(ID3D10Effect* effect, const char* name) {
    ID3D10EffectVariable* v = variable(effect, name);
    if (!v) return nullptr;
    ID3D10EffectScalarVariable* s = v->AsScalar();
    return s && s->IsValid() ? s : nullptr;
}

} // namespace

void SetEffectFloat(ID3D10Effect* effect, const char* name, float value) {
    if (ID3D10EffectScalarVariable* s = scalar(effect, name))
        if (HRESULT hr = s->SetFloat(value); FAILED(hr)) EngineLogError(report::kSetEffectFloat, hr);
}

void SetEffectInt(ID3D10Effect* effect, const char* name, int value) {
    if (ID3D10EffectScalarVariable* s = scalar(effect, name))
        if (HRESULT hr = s->SetInt(value); FAILED(hr)) EngineLogError(report::kSetEffectInt, hr);
}

void SetEffectBool(ID3D10Effect* effect, const char* name, bool value) {
    if (ID3D10EffectScalarVariable* s = scalar(effect, name))
        if (HRESULT hr = s->SetBool(value ? TRUE : FALSE); FAILED(hr))
            EngineLogError(report::kSetEffectBool, hr);
}

void SetEffectFilter(ID3D10Effect* effect, const char* name, const float weights[9]) {
    if (ID3D10EffectScalarVariable* s = scalar(effect, name)) {
        float copy[9];
        for (int i = 0; i < 9; ++i) copy[i] = weights[i];
        if (HRESULT hr = s->SetFloatArray(copy, 0, 9); FAILED(hr))
            EngineLogError(report::kSetEffectFilter, hr);
    }
}

void SetEffectResource(ID3D10Effect* effect, const char* name, ID3D10ShaderResourceView* view) {
    ID3D10EffectVariable* v = variable(effect, name);
    if (!v) return;
    ID3D10EffectShaderResourceVariable* r = v->AsShaderResource();
    if (!r || !r->IsValid()) return;
    if (HRESULT hr = r->SetResource(view); FAILED(hr)) EngineLogError(report::kSetEffectResource, hr);
}
