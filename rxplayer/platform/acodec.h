// Requests of the two audio codec drivers, /dev/tw2865dev and /dev/tlv320aic31.
#pragma once

// TW2865: each request takes a pointer to its value.
#define TW2865_SET_SAMPLE_RATE 0x4004740A     // int: 8000 0, 16000 1, 32000 2, 44100 3, 48000 4
#define TW2865_SET_AUDIO_FORMAT 0x4001740E    // one byte: 0 I2S, 1 PCM
#define TW2865_SET_AUDIO_BITWIDTH 0x4001740F  // one byte: 0 16 bit, 1 8 bit

// TLV320AIC31: every request takes a pointer to this control word (two 32-bit words, fields
// from bit 0 up). The request numbers are the driver's own (0x00..0x37).
typedef struct {
    unsigned int chip_num : 3;
    unsigned int audio_in_out : 2;
    unsigned int if_mute_route : 1;
    unsigned int if_powerup : 1;
    unsigned int input_level : 7;
    unsigned int sample : 4;
    unsigned int if_44100hz_series : 1;
    unsigned int data_length : 2;
    unsigned int ctrl_mode : 1;
    unsigned int dac_path : 2;
    unsigned int trans_mode : 2;
    unsigned int reserved : 6;
    unsigned int data_offset : 8;
    unsigned int dac_vlum : 2;
    unsigned int mic_bias_level : 2;
    unsigned int reserved2 : 20;
} Audio_Ctrl;

#define TLV320_MAX_REQUEST 0x3F
#define TLV320_SOFT_RESET 0x33
