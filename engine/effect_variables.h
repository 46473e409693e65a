// Setting the effect's variables by name. Each set is made only when the variable and its typed view
// are valid, so an unknown name or a wrong type is skipped silently; a set that fails is reported with
// its own tag ("SetEffectFloat", ...) and drawing goes on.
#pragma once

#include <d3d10.h>
#include <d3d10effect.h>

void SetEffectFloat(ID3D10Effect* effect, const char* name, float value);
void SetEffectInt(ID3D10Effect* effect, const char* name, int value);
void SetEffectBool(ID3D10Effect* effect, const char* name, bool value);
void SetEffectFilter(ID3D10Effect* effect, const char* name, const float weights[9]);
void SetEffectResource(ID3D10Effect* effect, const char* name, ID3D10ShaderResourceView* view);
