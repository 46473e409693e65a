// The colour pipeline of the unfolder (profile fx_4_0): technique "MyShader" with five passes.
//
// Every pass transforms the current mode's mesh by matWVP (row vector times matrix) and passes the
// vertex colour and texture coordinate through. Passes 0 to 3 sample the input frame and take it
// through YCbCr, where brightness, saturation and an optional 3x3 convolution act; then contrast
// about mid grey, the order of the first and third channels chosen by `inversed`, and the vertex
// colour. Pass 4 draws untextured coloured geometry. Nothing is clamped.
//
//   P0  planar YCbCr (tex0 = Y, tex1 = Cb, tex2 = Cr)
//   P1  planar YCbCr with the 3x3 convolution
//   P2  packed three-channel colour (tex0)
//   P3  packed three-channel colour with the 3x3 convolution
//   P4  vertex colour only

float4x4 matWVP;
float contrast;
float brightness;
float saturation;
float filter[9];  // 3x3 kernel, row by row; row 0 is above (smaller v)
float alpha;
int texWidth;     // texels
int texHeight;    // texels
bool inversed;    // planar: B, G, R order when true; packed: texture order when true

Texture2D tex0;
Texture2D tex1;
Texture2D tex2;

SamplerState inputSampler
{
    Filter = MIN_MAG_MIP_LINEAR;
    AddressU = Clamp;
    AddressV = Clamp;
};

struct VS_INPUT
{
    float3 pos : POSITION;
    float4 col : COLOR;
    float2 uv : TEXCOORD;
};

struct PS_INPUT
{
    float4 pos : SV_POSITION;
    float4 col : COLOR;
    float2 uv : TEXCOORD;
};

PS_INPUT VS(VS_INPUT input)
{
    PS_INPUT output;
    output.pos = mul(float4(input.pos, 1.0f), matWVP);
    output.col = input.col;
    output.uv = input.uv;
    return output;
}

// C(x) = (x - 0.5) * contrast + 0.5 on each channel.
float3 applyContrast(float3 c)
{
    return (c - 0.5f) * contrast + 0.5f;
}

// Planar passes: Y, Cb and Cr after the gains, to R, G, B, then contrast and channel order.
float4 planarOutput(float y, float cb, float cr, float4 col)
{
    float r = y + 1.402f * cr;
    float g = y - 0.714f * cr - 0.344f * cb;
    float b = y + 1.772f * cb;
    float3 c = applyContrast(float3(r, g, b));
    float4 result = float4(c.r * col.r, c.g * col.g, c.b * col.b, col.a * alpha);
    if (inversed)
        result = float4(c.b * col.r, c.g * col.g, c.r * col.b, col.a * alpha);
    return result;
}

// Packed passes: the three channels to YCbCr, the gains, and back; the first and third channels
// are exchanged unless `inversed` is set.
float4 packedOutput(float3 p, float4 col)
{
    float y = (0.299f * p.r + 0.587f * p.g + 0.114f * p.b) * brightness;
    float cb = (-0.169f * p.r - 0.332f * p.g + 0.5f * p.b) * saturation;
    float cr = (0.5f * p.r - 0.419f * p.g - 0.081f * p.b) * saturation;
    float x = y + 1.402f * cr;
    float g = y - 0.344f * cb - 0.714f * cr;
    float z = y + 1.772f * cb;
    float3 c = applyContrast(float3(x, g, z));
    float4 result = float4(c.z * col.r, c.y * col.g, c.x * col.b, col.a * alpha);
    if (inversed)
        result = float4(c.x * col.r, c.y * col.g, c.z * col.b, col.a * alpha);
    return result;
}

float4 PS_Planar(PS_INPUT input) : SV_Target
{
    float y = tex0.Sample(inputSampler, input.uv).r * brightness;
    float cr = (tex2.Sample(inputSampler, input.uv).r - 0.5f) * saturation;
    float cb = (tex1.Sample(inputSampler, input.uv).r - 0.5f) * saturation;
    return planarOutput(y, cb, cr, input.col);
}

float4 PS_PlanarFiltered(PS_INPUT input) : SV_Target
{
    float dx = 1.0f / float(texWidth);
    float dy = 1.0f / float(texHeight);
    float sy = 0.0f;
    float scr = 0.0f;
    float scb = 0.0f;
    [unroll]
    for (int j = 0; j < 3; j++)
    {
        [unroll]
        for (int i = 0; i < 3; i++)
        {
            float2 uv = float2(input.uv.x + (i - 1) * dx, input.uv.y + (j - 1) * dy);
            float w = filter[3 * j + i];
            sy += w * tex0.Sample(inputSampler, uv).r;
            scr += w * (tex2.Sample(inputSampler, uv).r - 0.5f);
            scb += w * (tex1.Sample(inputSampler, uv).r - 0.5f);
        }
    }
    return planarOutput(sy * brightness, scb * saturation, scr * saturation, input.col);
}

float4 PS_Packed(PS_INPUT input) : SV_Target
{
    return packedOutput(tex0.Sample(inputSampler, input.uv).rgb, input.col);
}

float4 PS_PackedFiltered(PS_INPUT input) : SV_Target
{
    float dx = 1.0f / float(texWidth);
    float dy = 1.0f / float(texHeight);
    float3 s = float3(0.0f, 0.0f, 0.0f);
    [unroll]
    for (int j = 0; j < 3; j++)
    {
        [unroll]
        for (int i = 0; i < 3; i++)
        {
            float2 uv = float2(input.uv.x + (i - 1) * dx, input.uv.y + (j - 1) * dy);
            s += filter[3 * j + i] * tex0.Sample(inputSampler, uv).rgb;
        }
    }
    return packedOutput(s, input.col);
}

float4 PS_VertexColour(PS_INPUT input) : SV_Target
{
    return input.col;
}

technique10 MyShader
{
    pass P0
    {
        SetVertexShader(CompileShader(vs_4_0, VS()));
        SetGeometryShader(NULL);
        SetPixelShader(CompileShader(ps_4_0, PS_Planar()));
    }
    pass P1
    {
        SetVertexShader(CompileShader(vs_4_0, VS()));
        SetGeometryShader(NULL);
        SetPixelShader(CompileShader(ps_4_0, PS_PlanarFiltered()));
    }
    pass P2
    {
        SetVertexShader(CompileShader(vs_4_0, VS()));
        SetGeometryShader(NULL);
        SetPixelShader(CompileShader(ps_4_0, PS_Packed()));
    }
    pass P3
    {
        SetVertexShader(CompileShader(vs_4_0, VS()));
        SetGeometryShader(NULL);
        SetPixelShader(CompileShader(ps_4_0, PS_PackedFiltered()));
    }
    pass P4
    {
        SetVertexShader(CompileShader(vs_4_0, VS()));
        SetGeometryShader(NULL);
        SetPixelShader(CompileShader(ps_4_0, PS_VertexColour()));
    }
}
