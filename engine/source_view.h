// CSourceView: the fisheye picture the current mode unfolds, with the mode's own drawing of where its
// view lies on it: the outline of renderPreviewLine over the picture and, for the modes that have one,
// the overview of renderOverlay beside it. A preview shows it next to the unfolded picture so that a
// person sees where in the circle the view looks.
//
// It draws from the facade's input texture, so the picture is the frame the last output was made
// from, into render targets of its own, and reads them back. It is no part of the frame path: the
// device's pipeline state is put back as it was found, so the next frame is drawn exactly as it would
// have been. Runs under the caller's engine lock, like every other use of the device.
#pragma once

#include <cstdint>

#include <d3d10.h>
#include <d3d10effect.h>

class CBaseExpander;

class CSourceView {
public:
    CSourceView() = default;
    ~CSourceView();
    CSourceView(const CSourceView&) = delete;
    CSourceView& operator=(const CSourceView&) = delete;

    // What the picture is drawn from: the facade's device, effect and input texture, and the sizes of
    // the picture within that texture.
    struct Input {
        ID3D10Device* device;
        ID3D10Effect* effect;
        ID3D10ShaderResourceView* texture;
        uint16_t imgWidth, imgHeight, texWidth, texHeight;
    };

    // Draws the input picture, fitted into width x height with its shape kept and centred on black,
    // and the mode's outline of its view over it in red. `picture` receives width x height pixels of
    // 4 bytes (blue, green, red, 0), rows in the input texture's order. When `overview` is given, the
    // mode's overview goes into overviewWidth x overviewHeight pixels the same way, and *overviewDrawn
    // says whether the mode drew one (the modes without an overview leave it black).
    HRESULT Draw(const Input& input, CBaseExpander* mode, uint16_t width, uint16_t height, uint8_t* picture,
                 uint16_t overviewWidth, uint16_t overviewHeight, uint8_t* overview, bool* overviewDrawn);

    // Forgets the targets (the device is going away or changing).
    void Release();

private:
    // An off-screen colour target with its depth-stencil buffer and a read-back copy.
    struct Target {
        ID3D10Device* device = nullptr; // not held: the owner of the targets' device releases them first
        uint16_t width = 0, height = 0;
        ID3D10Texture2D* texture = nullptr;
        ID3D10RenderTargetView* view = nullptr;
        ID3D10DepthStencilView* depth = nullptr;
        ID3D10Texture2D* staging = nullptr;

        HRESULT ensure(ID3D10Device* d, uint16_t w, uint16_t h);
        void bind(ID3D10Device* d) const;
        HRESULT readBack(ID3D10Device* d, uint8_t* pixels) const;
        void release();
    };

    HRESULT drawPicture(const Input& input, uint32_t pass, const D3D10_VIEWPORT& fitted);

    Target pictureTarget, overviewTarget;
    ID3D10Buffer* quad = nullptr; // the whole picture, texture coordinates up to (quadU, quadV)
    float quadU = -1, quadV = -1;
};
