/* Linker script for the freestanding gauge module. The toolchain's default
   script always writes an empty import directory (a terminating descriptor
   with nothing before it); a module that imports nothing must have none.
   There are no constructors, TLS or exception tables to place either. */
OUTPUT_FORMAT(pei-i386)
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + (__section_alignment__ < 0x1000 ? . : __section_alignment__) :
  {
    *(.text) *(SORT(.text$*)) *(.text.*)
  }
  .data BLOCK(__section_alignment__) :
  {
    *(.data) *(.data2) *(SORT(.data$*)) *(.data.*)
  }
  .rdata BLOCK(__section_alignment__) :
  {
    *(.rdata) *(SORT(.rdata$*)) *(.rdata.*)
  }
  .bss BLOCK(__section_alignment__) :
  {
    *(.bss) *(.bss.*) *(COMMON)
  }
  .edata BLOCK(__section_alignment__) :
  {
    *(.edata)
  }
  .rsrc BLOCK(__section_alignment__) : SUBALIGN(4)
  {
    KEEP (*(.rsrc))
    KEEP (*(.rsrc$*))
  }
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
  /* Anything that would need start-up code or an import must not exist:
     collect it and refuse to link if there is any. */
  .forbidden BLOCK(__section_alignment__) (NOLOAD) :
  {
    *(.idata*) *(.CRT*) *(.tls*) *(.ctors*) *(.dtors*) *(.init_array*) *(.fini_array*)
  }
  ASSERT(SIZEOF(.forbidden) == 0,
         "the module must have no static constructors, TLS or imports")
  /DISCARD/ :
  {
    *(.eh_frame*) *(.pdata*) *(.xdata*) *(.debug*) *(.stab*) *(.comment) *(.note*)
  }
}
